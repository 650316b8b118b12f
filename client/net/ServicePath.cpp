#include "ServicePath.h"

#include "Deployment.h"
#include "HttpClient.h"

namespace kestrova::net {

Text servicePathFromPage(std::string_view pageText, const std::string& profileNumber,
                         const std::string& profileDomain)
{
    static constexpr std::string_view kTitleStart = "));</script><title>";
    const std::string titleEnd = " [http://" + profileNumber + "." + profileDomain + "]</title>";

    // The segment stands after the last start marker and before the first end marker after it.
    // Without either marker the page is not the profile page (an error page, a portal): taking
    // the whole text as the segment would only send every account request to a wrong address,
    // so no segment is found and the login says the service cannot be reached.
    if (findText(pageText, kTitleStart) < 0 || pageText.ends_with(kTitleStart))
        return {};
    const Text afterStart = splitText(pageText, kTitleStart).back();
    const int endAt = findText(afterStart, titleEnd);
    if (endAt <= 1)
        return {};
    return afterStart.substr(0, static_cast<size_t>(endAt - 1));
}

Text lookUpServicePath(const std::string& profileNumber)
{
    const Deployment& values = deployment();
    const std::string page = httpFetch(values.profileBaseUrl + profileNumber);
    // The profile page is UTF-8; the client works in GBK, which GB18030 contains.
    const Text text = bytesToText(convertEncoding(page, "UTF-8", "GB18030"));
    return servicePathFromPage(text, profileNumber, values.profileDomain);
}

} // namespace kestrova::net
