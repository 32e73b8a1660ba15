#include "tests/support/app/DictationRig.h"

#include "tests/support/TempHome.h"
#include "tests/support/models/GeneratedModels.h"
#include "tests/support/process/Programs.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace korvane::testing {

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kMicrophone = "microphone";

PulseTestDaemon::Sink microphoneSink()
{
    // A common desktop microphone format, so the capture path resamples and downmixes as it would
    // on a laptop.
    return PulseTestDaemon::Sink{kMicrophone, 48000, 2};
}

// The window trayer docks icons into, found by its class; 0 when it has none (yet).
unsigned long findTrayWindow()
{
    try {
        const std::string found = runProgram({"xdotool", "search", "--class", "trayer"});
        return std::stoul(found);
    } catch (const std::exception&) {
        return 0;
    }
}

// The executable under test: this build's, or the one KORVANE_APP_UNDER_TEST names (the soak can
// run an installed Korvane, or a copy that a rebuild meanwhile does not replace).
std::string appUnderTest()
{
    const char* chosen = std::getenv("KORVANE_APP_UNDER_TEST");
    return chosen != nullptr && *chosen != '\0' ? std::string(chosen) : std::string(KORVANE_APP_PATH);
}

// Whether a user other than the file's owner and group may read `file`: every folder on the way
// lets others through and the file (where a link leads) lets them read it.
bool othersMayRead(const fs::path& file)
{
    const fs::path target = fs::canonical(file);
    if ((fs::status(target).permissions() & fs::perms::others_read) == fs::perms::none) {
        return false;
    }
    for (fs::path folder = target.parent_path(); folder != folder.root_path(); folder = folder.parent_path()) {
        if ((fs::status(folder).permissions() & fs::perms::others_exec) == fs::perms::none) {
            return false;
        }
    }
    return true;
}

void changeOwner(const fs::path& path, uid_t uid, gid_t gid)
{
    if (::lchown(path.c_str(), uid, gid) != 0) {
        throw std::system_error(errno, std::generic_category(), "chown " + path.string());
    }
}

}  // namespace

DictationDesktop::DictationDesktop(const std::string& sentence) : pulse_({microphoneSink()})
{
    // A panel with a system tray on top of the screen, as a desktop has, so Korvane shows its tray
    // icon and menu as it does for a user.
    tray_ = std::make_unique<ChildProcess>(std::vector<std::string>{
        "trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120", "--height", "24",
        "--SetDockType", "true", "--SetPartialStrut", "true", "--transparent", "false"});
    if (!waitFor([this] { return (trayWindow_ = findTrayWindow()) != 0; }, 10s)) {
        throw std::runtime_error("trayer did not show its panel");
    }
    const PulseTestDaemon::Sink sink = microphoneSink();
    clip_ = SpeechClip::make(files_.path(), "sentence", sentence, sink.rate, sink.channels);
}

DictationDesktop::~DictationDesktop() = default;

void DictationDesktop::speak() const
{
    pulse_.play(kMicrophone, clip_.soundFile);
}

void DictationDesktop::letOtherUsersReachSoundServer() const
{
    for (const fs::path& folder : {pulse_.directory(), pulse_.directory() / "runtime"}) {
        fs::permissions(folder, fs::perms::others_exec, fs::perm_options::add);
    }
}

CatalogueModel::CatalogueModel(const std::string& name, const modelgen::ModelRecipe& recipe, const fs::path& home,
                               bool served)
    : name_(name), fileName_("ggml-" + name + ".bin")
{
    const fs::path modelsFolder = home / ".local/share/Korvane/models";
    const fs::path written = served ? files_.path() : modelsFolder;
    ModelDefinition definition = writeGeneratedModel(written, fileName_, recipe);
    std::string url = "https://models.invalid/" + fileName_;  // never fetched: the file is in place
    if (served) {
        server_ = std::make_unique<LoopbackHttpServer>();
        server_->serve("/" + fileName_, ok(readFile(written / fileName_)));
        url = server_->baseUrl() + fileName_;
    }
    std::ostringstream catalogue;
    catalogue << R"({"version": 1, "models": [{"name": ")" << name_ << R"(", "file": ")" << fileName_
              << R"(", "bytes": )" << definition.expectedBytes << R"(, "sha256": ")" << definition.sha256
              << R"(", "url": ")" << url << R"("}]})";
    catalogueFile_ = files_.path() / "models.json";
    writeFile(catalogueFile_, catalogue.str());
}

std::size_t CatalogueModel::downloads() const
{
    return server_ ? server_->requestCount("/" + fileName_) : 0;
}

AppForAnyUser::AppForAnyUser() : path_(appUnderTest())
{
    fs::permissions(libraries_.path(), fs::perms::group_exec | fs::perms::others_exec, fs::perm_options::add);
    bool copied = false;
    // ldd names each library it found as "name => path (address)".
    std::istringstream found(runProgram({"ldd", path_}));
    for (std::string line; std::getline(found, line);) {
        std::istringstream words(line);
        std::string name;
        std::string arrow;
        std::string library;
        if (!(words >> name >> arrow >> library) || arrow != "=>" || !library.starts_with('/') ||
            othersMayRead(library)) {
            continue;
        }
        fs::copy_file(fs::canonical(library), libraries_.path() / name);
        fs::permissions(libraries_.path() / name, fs::perms::others_read, fs::perm_options::add);
        copied = true;
    }
    if (copied) {
        environment_.push_back("LD_LIBRARY_PATH=" + libraries_.path().string());
    }
}

std::string AppForAnyUser::commandLine(const std::string& arguments) const
{
    std::string line = "env";
    for (const std::string& variable : environment_) {
        line += " " + variable;
    }
    return line + " " + path_ + " " + arguments;
}

RunningKorvane::RunningKorvane(const fs::path& home, const std::optional<std::string>& settingsJson,
                               const fs::path& catalogueFile)
    : RunningKorvane(home, settingsJson, catalogueFile, Options{})
{
}

RunningKorvane::RunningKorvane(const fs::path& home, const std::optional<std::string>& settingsJson,
                               const fs::path& catalogueFile, const Options& options)
    : home_(home)
{
    if (settingsJson) {
        writeFile(home / ".config/korvane/settings.json", *settingsJson);
    }
    // Its own home and XDG folders, the desktop and sound server of this process, Qt on X11 (an
    // inherited offscreen choice would hide the tray), and standard error joined to the output.
    std::map<std::string, std::optional<std::string>> variables{{"QT_QPA_PLATFORM", "xcb"},
                                                                {"HOME", home.string()},
                                                                {"XDG_CONFIG_HOME", (home / ".config").string()},
                                                                {"XDG_DATA_HOME", (home / ".local/share").string()},
                                                                {"XDG_CACHE_HOME", (home / ".cache").string()},
                                                                {"KORVANE_MODEL_CATALOGUE", catalogueFile.string()}};
    const auto assign = [&variables](const std::string& assignment) {
        variables[assignment.substr(0, assignment.find('='))] = assignment.substr(assignment.find('=') + 1);
    };
    // Another user's session: a home of that user's, and no file of this process's user on the way.
    std::vector<std::string> asUser;
    if (!options.user.empty()) {
        const passwd* account = ::getpwnam(options.user.c_str());
        if (account == nullptr) {
            throw std::runtime_error("there is no user " + options.user);
        }
        const fs::path catalogue = home / "model-catalogue.json";
        fs::copy_file(catalogueFile, catalogue, fs::copy_options::overwrite_existing);
        variables["KORVANE_MODEL_CATALOGUE"] = catalogue.string();
        changeOwner(home, account->pw_uid, account->pw_gid);
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(home)) {
            changeOwner(entry.path(), account->pw_uid, account->pw_gid);
        }
        forUser_ = std::make_unique<AppForAnyUser>();
        for (const std::string& variable : forUser_->environment()) {
            assign(variable);
        }
        // Changing user clears the signal that ends a child with its parent; it is asked for again.
        asUser = account->pw_uid == ::getuid() ? std::vector<std::string>{"setpriv", "--pdeathsig=SIGKILL"}
                                               : std::vector<std::string>{"setpriv", "--reuid=" + options.user,
                                                                          "--regid=" + std::to_string(account->pw_gid),
                                                                          "--init-groups", "--pdeathsig=SIGKILL"};
    }
    for (const std::string& name : options.unset) {
        variables[name] = std::nullopt;
    }
    for (const std::string& variable : options.set) {
        assign(variable);
    }
    std::vector<std::string> command{"env"};
    std::vector<std::string> assignments;
    for (const auto& [name, value] : variables) {
        if (value) {
            assignments.push_back(name + "=" + *value);
        } else {
            command.insert(command.end(), {"-u", name});
        }
    }
    command.insert(command.end(), assignments.begin(), assignments.end());
    command.insert(command.end(), asUser.begin(), asUser.end());
    command.insert(command.end(), {"sh", "-c", "exec \"$0\" 2>&1", appUnderTest()});
    process_ = std::make_unique<ChildProcess>(command);
    reader_ = std::thread([this] { readOutput(); });
}

RunningKorvane::~RunningKorvane()
{
    stopping_ = true;
    reader_.join();
    process_.reset();  // SIGTERM, then SIGKILL if it does not end within a second
}

void RunningKorvane::readOutput()
{
    while (!stopping_) {
        std::optional<std::string> text = process_->readLine(100ms);
        if (!text) {
            if (!process_->running()) {
                return;
            }
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        std::lock_guard lock(mutex_);
        lines_.push_back(ArrivedLine{now, std::move(*text)});
    }
}

std::optional<std::size_t> RunningKorvane::waitForLine(const std::string& text, std::chrono::milliseconds timeout,
                                                       std::size_t from) const
{
    return waitForAnyLine({text}, timeout, from);
}

std::optional<std::size_t> RunningKorvane::waitForAnyLine(const std::vector<std::string>& texts,
                                                          std::chrono::milliseconds timeout, std::size_t from) const
{
    std::optional<std::size_t> found;
    waitFor(
        [&] {
            std::lock_guard lock(mutex_);
            for (std::size_t i = from; i < lines_.size(); ++i) {
                for (const std::string& text : texts) {
                    if (lines_[i].text.find(text) != std::string::npos) {
                        found = i;
                        return true;
                    }
                }
            }
            return false;
        },
        timeout);
    return found;
}

std::size_t RunningKorvane::lineCount() const
{
    std::lock_guard lock(mutex_);
    return lines_.size();
}

ArrivedLine RunningKorvane::line(std::size_t index) const
{
    std::lock_guard lock(mutex_);
    return lines_.at(index);
}

std::string RunningKorvane::output() const
{
    std::lock_guard lock(mutex_);
    std::string all;
    for (const ArrivedLine& line : lines_) {
        all += line.text + "\n";
    }
    return all;
}

ProcessActivity readProcessActivity(int pid)
{
    ProcessActivity activity;
    const fs::path process = "/proc/" + std::to_string(pid);
    // Fields 14 and 15 of stat (utime, stime) count every thread; the command name in field 2 may
    // hold spaces, so counting starts after its closing parenthesis.
    const std::string stat = readFile(process / "stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14 || number == 15) {
            activity.cpuTicks += std::stoll(field);
        }
    }
    const auto valueOf = [](const std::string& status, const std::string& key) {
        const std::size_t at = status.find("\n" + key + ":");
        return at == std::string::npos ? 0LL : std::stoll(status.substr(at + key.size() + 2));
    };
    std::error_code error;
    for (const fs::directory_entry& task : fs::directory_iterator(process / "task", error)) {
        const std::string status = readFile(task.path() / "status");
        activity.contextSwitches +=
            valueOf(status, "voluntary_ctxt_switches") + valueOf(status, "nonvoluntary_ctxt_switches");
    }
    activity.residentKiB = valueOf(readFile(process / "status"), "VmRSS");
    return activity;
}

}  // namespace korvane::testing
