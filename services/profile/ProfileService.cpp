#include "ProfileService.h"

#include "http/Pages.h"

#include <kestrova/DeploymentDefaults.h>

namespace kestrova::services {

namespace deployment = kestrova::deployment;

Response ProfileService::handle(const Request& request) const
{
    const std::string number(deployment::kProfileNumber.value);
    if (request.path != "/" + number && request.path != "/" + number + "/")
        return errorPage(404, "没有这个主页。");
    // The title begins right after "));</script>" and ends with " [http://<number>.<domain>]".
    std::string page = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
                       "<script>window.kestrovaProfile = Number(String(" +
                       number + "));</script><title>";
    page += deployment::stack::kServicePath;
    page += " [http://" + number + "." + std::string(deployment::kProfileDomain.value) + "]</title>\n";
    page += "</head>\n<body>\n<h1>Kestrova 驾考理论练习</h1>\n<p>账号服务：<a href=\"";
    page += deployment::kAccountHostUrl.value;
    page += deployment::stack::kServicePath;
    page += "/\">";
    page += deployment::stack::kServicePath;
    page += "</a></p>\n</body>\n</html>\n";
    return Response::bytes(std::move(page), "text/html; charset=utf-8");
}

} // namespace kestrova::services
