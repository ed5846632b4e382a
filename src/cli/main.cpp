// twinsift-cli: parses the command line and dispatches to one subcommand.

#include <fcntl.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <map>

#include "Commands.h"
#include "LinuxLibraries.h"
#include "TWPreference.h"

namespace {

// A standard stream that was closed gets a placeholder on which writes fail: otherwise
// the next file opened would take its number, and the output would go into that file.
void guardStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) open("/dev/null", O_RDONLY);
}

}  // namespace

int main(int argc, char** argv) {
    guardStandardStreams();
    setlocale(LC_ALL, "");
    // The backends read the libraries at the locations chosen in the preferences.
    tw::installLinuxLibraries(
        [](const std::string& source) { return TWPreference::shared().chosenLibraryLocation(source); });
    CLI::App app{"Twinsift finds duplicate files, and visually similar images, in the folders you choose.",
                 "twinsift-cli"};
    app.set_version_flag("--version", std::string("twinsift-cli ") + TWINSIFT_VERSION);
    app.require_subcommand(1);
    app.footer("Run 'twinsift-cli COMMAND --help' for the options of one command.");

    std::map<CLI::App*, twcli::Runner> runners;
    auto add = [&](twcli::Runner (*adder)(CLI::App&)) {
        size_t before = app.get_subcommands({}).size();
        twcli::Runner runner = adder(app);
        runners[app.get_subcommands({})[before]] = std::move(runner);
    };
    add(twcli::addScanCommand);
    add(twcli::addRemoveCommand);
    add(twcli::addHashCommand);
    add(twcli::addPrefsCommand);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        fprintf(stderr, "twinsift-cli: %s\nRun 'twinsift-cli --help' for usage.\n", e.what());
        return 2;
    }
    for (auto* sub : app.get_subcommands())
        if (auto it = runners.find(sub); it != runners.end()) return it->second();
    return 2;
}
