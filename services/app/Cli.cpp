#include "Cli.h"

#include "Router.h"
#include "bank/BankImport.h"
#include "http/Server.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <kestrova/DeploymentDefaults.h>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kestrova::services {

namespace fs = std::filesystem;
namespace stack = kestrova::deployment::stack;

namespace {

constexpr std::string_view kUsage = R"(Usage: kestrova-services <command> [options]

Commands:
  serve                       run the stack (all virtual hosts) until SIGINT or SIGTERM
  user add NAME               create an account
  user admin NAME on|off      grant or take back the right to clear the chat views
  news set ID TEXT            set notice item ID (1, 7, 8, 9, 10, 12, 13)
  bank import FILE...         replace the question bank of the subjects in FILE(s)
  bank export DIR             write the question bank as JSON files and SVG pictures

Every command takes --db PATH (default: $XDG_DATA_HOME/kestrova/stack.sqlite, that is
~/.local/share/kestrova/stack.sqlite). Run "kestrova-services <command> --help" for details.
)";

constexpr std::string_view kServeUsage = R"(Usage: kestrova-services serve [options]

Serves every host of the deployment by its Host header on the main port, and the music host
also on the music port. Stops gracefully on SIGINT or SIGTERM.

Options:
  --db PATH            database file, created and migrated on first start
  --bank DIR           import DIR/subject1.json, DIR/subject4.json (pictures in DIR/pictures)
                       at start whenever they differ from the bank in the database
  --address ADDR       listen address (default 127.0.0.1)
  --port N             main port (default 8460)
  --music-port N       music port (default 8888)
  --threads N          worker threads (default: number of processors, at least 2)
  --access-log WHERE   "-" for standard error (default), "off", or a file to append to
  --no-speech          do not start the speech synthesiser
)";

constexpr std::string_view kUserUsage = R"(Usage:
  kestrova-services user add NAME [--password PW | --password-stdin] [--question Q --answer A
                                  --full-name F] [--admin] [--db PATH]
  kestrova-services user admin NAME on|off [--db PATH]

"user add" creates an account the client can log in with. Without --password the password is read
from the first line of standard input. The hint question, its answer and the full name are needed
for password recovery; an account made without them cannot be recovered. --admin grants the right
to clear the chat views (notice item 11 shows "1" for its sessions).
)";

constexpr std::string_view kNewsUsage = R"(Usage: kestrova-services news set ID TEXT [--db PATH]

Sets a notice item of the account service. Items: 1 community host label, 7 marquee text,
8 speech host label, 9 question-bank host label, 10 free text, 12 "0" for maintenance (anything
else: open), 13 about text. Item 11 is made per session from the user's chat right.
)";

constexpr std::string_view kBankUsage = R"(Usage:
  kestrova-services bank import [--pictures DIR] FILE... [--db PATH]
  kestrova-services bank export DIR [--db PATH]

import: checks every file completely (format: services/bank/README.md) and replaces the questions
of the subjects the files hold, all in one transaction; a bad file changes nothing. Pictures are
looked up under --pictures (default: the "pictures" folder beside the first file) and rendered
to PNG. export: writes subject1.json, subject4.json and pictures/ into DIR.
)";

struct Arguments
{
    std::vector<std::string> positional;
    std::map<std::string, std::string> options; // "--name" -> value ("" for flags)
    bool help = false;
};

// Options that take a value; every other "--x" is a flag.
bool takesValue(std::string_view name)
{
    static constexpr std::string_view kValued[] = {"--db",         "--bank",    "--address",    "--port",
                                                   "--music-port", "--threads", "--access-log", "--password",
                                                   "--question",   "--answer",  "--full-name",  "--pictures"};
    for (auto valued : kValued)
        if (valued == name)
            return true;
    return false;
}

std::optional<Arguments> parse(const std::vector<std::string>& args, std::string& error)
{
    Arguments out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            out.help = true;
        } else if (arg.starts_with("--")) {
            std::string name = arg;
            std::string value;
            const std::size_t equals = arg.find('=');
            if (equals != std::string::npos) {
                name = arg.substr(0, equals);
                value = arg.substr(equals + 1);
            } else if (takesValue(name)) {
                if (i + 1 >= args.size()) {
                    error = name + " needs a value";
                    return std::nullopt;
                }
                value = args[++i];
            }
            out.options[name] = value;
        } else {
            out.positional.push_back(arg);
        }
    }
    return out;
}

std::string defaultDatabase()
{
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        return (fs::path(data) / "kestrova" / "stack.sqlite").string();
    if (const char* home = std::getenv("HOME"); home && *home)
        return (fs::path(home) / ".local" / "share" / "kestrova" / "stack.sqlite").string();
    return "stack.sqlite";
}

std::string option(const Arguments& args, const std::string& name, std::string fallback = {})
{
    const auto found = args.options.find(name);
    return found == args.options.end() ? fallback : found->second;
}

std::optional<int> number(std::string_view text, int low, int high)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high)
        return std::nullopt;
    return value;
}

// Options a command does not know are an error, not silently ignored.
bool onlyKnownOptions(const Arguments& args, std::initializer_list<std::string_view> known, std::ostream& err)
{
    for (const auto& [name, value] : args.options) {
        bool ok = name == "--db";
        for (auto k : known)
            ok = ok || name == k;
        if (!ok) {
            err << "kestrova-services: unknown option " << name << " (see --help)\n";
            return false;
        }
    }
    return true;
}

std::unique_ptr<Store> openStore(const Arguments& args, std::ostream& err)
{
    const std::string path = option(args, "--db", defaultDatabase());
    std::string error;
    auto store = openSqliteStore(path, error);
    if (!store)
        err << "kestrova-services: " << error << "\n";
    return store;
}

std::string timestamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

int serve(const Arguments& args, std::ostream& out, std::ostream& err)
{
    if (args.help) {
        out << kServeUsage;
        return 0;
    }
    if (!onlyKnownOptions(
            args,
            {"--bank", "--address", "--port", "--music-port", "--threads", "--access-log", "--no-speech"},
            err))
        return 2;
    if (!args.positional.empty()) {
        err << "kestrova-services: serve takes no arguments besides options (got \""
            << args.positional.front() << "\")\n";
        return 2;
    }
    const auto port = number(option(args, "--port", std::to_string(stack::kMainPort)), 0, 65535);
    const auto musicPort = number(option(args, "--music-port", std::to_string(stack::kMusicPort)), 0, 65535);
    const int cores = static_cast<int>(std::max(2u, std::thread::hardware_concurrency()));
    const auto threads = number(option(args, "--threads", std::to_string(cores)), 1, 256);
    if (!port || !musicPort || !threads) {
        err << "kestrova-services: --port and --music-port take 0 to 65535, --threads 1 to 256\n";
        return 2;
    }
    auto store = openStore(args, err);
    if (!store)
        return 1;
    store->purgeExpiredSessions(nowMillis());

    if (const std::string bank = option(args, "--bank"); !bank.empty())
        err << timestamp() << " bank: " << syncBank(*store, bank) << "\n";

    // One line per request; a file is appended to, line by line.
    std::shared_ptr<std::FILE> logFile;
    const std::string where = option(args, "--access-log", "-");
    if (where == "-") {
        logFile.reset(stderr, [](std::FILE*) {});
    } else if (where != "off") {
        logFile.reset(std::fopen(where.c_str(), "a"), [](std::FILE* f) {
            if (f)
                std::fclose(f);
        });
        if (!logFile) {
            err << "kestrova-services: cannot open the access log " << where << "\n";
            return 1;
        }
    }
    auto logMutex = std::make_shared<std::mutex>();
    LogSink log;
    if (logFile)
        log = [logFile, logMutex](const std::string& line) {
            std::scoped_lock lock(*logMutex);
            std::fputs(line.c_str(), logFile.get());
            std::fputc('\n', logFile.get());
            std::fflush(logFile.get());
        };

    RouterOptions routerOptions;
    routerOptions.withSpeech = !args.options.contains("--no-speech");
    Router router(*store, routerOptions);
    ServerOptions serverOptions;
    serverOptions.address = option(args, "--address", std::string(stack::kListenAddress));
    serverOptions.ports = {static_cast<unsigned short>(*port), static_cast<unsigned short>(*musicPort)};
    serverOptions.threads = *threads;
    serverOptions.isSlow = isSlowRequest;
    serverOptions.log = log;
    StopSignals signals; // from here on SIGINT and SIGTERM mean a graceful stop
    Server server([&router](const Request& request) { return router.handle(request); }, serverOptions);
    if (const std::string error = server.start(); !error.empty()) {
        err << "kestrova-services: " << error << "\n";
        return 1;
    }
    const auto bound = server.ports();
    router.setMusicPort(bound[1]);
    err << timestamp() + " serving on " + serverOptions.address + ":" + std::to_string(bound[0]) +
               " (music also on port " + std::to_string(bound[1]) + "), database " +
               option(args, "--db", defaultDatabase()) + "\n"
        << std::flush;
    signals.wait();
    server.stop();
    err << timestamp() << " stopped" << std::endl;
    return 0;
}

int user(const Arguments& args, std::ostream& out, std::ostream& err, std::istream& in)
{
    if (args.help || args.positional.size() < 2) {
        (args.help ? out : err) << kUserUsage;
        return args.help ? 0 : 2;
    }
    const std::string& verb = args.positional[0];
    const std::string& name = args.positional[1];
    if (verb == "add") {
        if (!onlyKnownOptions(
                args, {"--password", "--password-stdin", "--question", "--answer", "--full-name", "--admin"},
                err))
            return 2;
        if (args.positional.size() != 2) {
            err << "kestrova-services: user add takes one NAME\n";
            return 2;
        }
        NewAccount account;
        account.name = name;
        if (args.options.contains("--password")) {
            account.password = option(args, "--password");
        } else {
            std::getline(in, account.password);
            if (!account.password.empty() && account.password.back() == '\r')
                account.password.pop_back();
        }
        account.question = option(args, "--question");
        account.answer = option(args, "--answer");
        account.fullName = option(args, "--full-name");
        auto store = openStore(args, err);
        if (!store)
            return 1;
        if (auto problem = createAccount(*store, account, false, args.options.contains("--admin"),
                                         HashCost::interactive())) {
            err << "kestrova-services: cannot add user " << name << ": " << *problem << "\n";
            return 1;
        }
        out << "user " << name << " added" << (args.options.contains("--admin") ? " (chat admin)" : "")
            << "\n";
        return 0;
    }
    if (verb == "admin") {
        if (!onlyKnownOptions(args, {}, err))
            return 2;
        if (args.positional.size() != 3 || (args.positional[2] != "on" && args.positional[2] != "off")) {
            err << "kestrova-services: usage: user admin NAME on|off\n";
            return 2;
        }
        auto store = openStore(args, err);
        if (!store)
            return 1;
        if (!store->setChatAdmin(name, args.positional[2] == "on")) {
            err << "kestrova-services: no user named " << name << "\n";
            return 1;
        }
        out << "user " << name << ": chat admin " << args.positional[2] << "\n";
        return 0;
    }
    err << "kestrova-services: unknown user command \"" << verb << "\"\n" << kUserUsage;
    return 2;
}

int news(const Arguments& args, std::ostream& out, std::ostream& err)
{
    if (args.help) {
        out << kNewsUsage;
        return 0;
    }
    if (!onlyKnownOptions(args, {}, err))
        return 2;
    if (args.positional.size() != 3 || args.positional[0] != "set") {
        err << kNewsUsage;
        return 2;
    }
    const auto id = number(args.positional[1], 0, 1000);
    if (!id || !isNewsItem(*id)) {
        err << "kestrova-services: there is no notice item \"" << args.positional[1]
            << "\"; items are 1 and 7 to 13\n";
        return 2;
    }
    if (!isSettableNewsItem(*id)) {
        err << "kestrova-services: item 11 is made per session from the user's chat right; use \"user "
               "admin\"\n";
        return 2;
    }
    const std::string& text = args.positional[2];
    if (auto problem = newsProblem(text)) {
        err << "kestrova-services: " << *problem << "\n";
        return 2;
    }
    auto store = openStore(args, err);
    if (!store)
        return 1;
    store->setNews(*id, text, nowMillis());
    out << "notice item " << *id << " set\n";
    return 0;
}

int bank(const Arguments& args, std::ostream& out, std::ostream& err)
{
    if (args.help || args.positional.empty()) {
        (args.help ? out : err) << kBankUsage;
        return args.help ? 0 : 2;
    }
    const std::string& verb = args.positional[0];
    if (verb == "import") {
        if (!onlyKnownOptions(args, {"--pictures"}, err))
            return 2;
        if (args.positional.size() < 2) {
            err << "kestrova-services: bank import needs at least one FILE\n";
            return 2;
        }
        std::vector<fs::path> files(args.positional.begin() + 1, args.positional.end());
        const fs::path pictures =
            option(args, "--pictures", (files.front().parent_path() / "pictures").string());
        auto store = openStore(args, err);
        if (!store)
            return 1;
        BankSummary summary;
        if (const std::string error = importBank(*store, files, pictures, &summary); !error.empty()) {
            err << "kestrova-services: bank import refused, nothing was changed: " << error << "\n";
            return 1;
        }
        out << "imported " << summary.questions << " questions and " << summary.pictures << " pictures (";
        for (std::size_t i = 0; i < summary.subjects.size(); ++i)
            out << (i ? ", " : "") << summary.subjects[i];
        out << ")\n";
        return 0;
    }
    if (verb == "export") {
        if (!onlyKnownOptions(args, {}, err))
            return 2;
        if (args.positional.size() != 2) {
            err << "kestrova-services: bank export needs one DIR\n";
            return 2;
        }
        auto store = openStore(args, err);
        if (!store)
            return 1;
        BankSummary summary;
        if (const std::string error = exportBank(*store, args.positional[1], &summary); !error.empty()) {
            err << "kestrova-services: bank export failed: " << error << "\n";
            return 1;
        }
        out << "exported " << summary.questions << " questions and " << summary.pictures << " pictures to "
            << args.positional[1] << "\n";
        return 0;
    }
    err << "kestrova-services: unknown bank command \"" << verb << "\"\n" << kBankUsage;
    return 2;
}

} // namespace

int runCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err, std::istream& in)
{
    if (arguments.empty()) {
        err << kUsage;
        return 2;
    }
    const std::string& command = arguments.front();
    if (command == "--help" || command == "-h" || command == "help") {
        out << kUsage;
        return 0;
    }
    std::string error;
    const auto args = parse({arguments.begin() + 1, arguments.end()}, error);
    if (!args) {
        err << "kestrova-services: " << error << "\n";
        return 2;
    }
    try {
        if (command == "serve")
            return serve(*args, out, err);
        if (command == "user")
            return user(*args, out, err, in);
        if (command == "news")
            return news(*args, out, err);
        if (command == "bank")
            return bank(*args, out, err);
    } catch (const StoreError& failure) {
        err << "kestrova-services: database error: " << failure.what() << "\n";
        return 1;
    }
    err << "kestrova-services: unknown command \"" << command << "\"\n\n" << kUsage;
    return 2;
}

} // namespace kestrova::services
