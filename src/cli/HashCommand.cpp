// twinsift-cli hash FILE...: the content hash that decides duplicates, one line per
// file, as md5sum prints ("HASH  PATH").

#include <sys/stat.h>

#include <cstring>

#include "cli/Commands.h"
#include "files/TWFileUtility.h"

namespace twcli {

Runner addHashCommand(CLI::App& app) {
    auto* cmd = app.add_subcommand("hash", "Print the content hash of each file, as Twinsift compares them");
    cmd->description(
        "Print the content hash of each FILE: the MD5 of a sample of at most 2 KB (the whole file up to "
        "2047 bytes, its first and last kilobyte up to 6143 bytes, else the kilobytes at a third and two "
        "thirds). Files that cannot be read, special files and empty files hash by their own path, so "
        "they never match another file.");
    auto files = std::make_shared<std::vector<std::string>>();
    cmd->add_option("FILE", *files, "Files to hash")->required();
    return [files]() {
        int status = 0;
        for (const auto& path : *files) {
            struct stat st {};
            if (lstat(path.c_str(), &st) != 0) {
                fprintf(stderr, "twinsift-cli: %s: %s\n", printablePath(path).c_str(), strerror(errno));
                status = 1;
                continue;
            }
            auto record = TWFileUtility::initWithPath(path);
            auto hash = record->hashString();
            printf("%s  %s\n", hash ? hash->c_str() : "", printablePath(path).c_str());
        }
        return status;
    };
}

}  // namespace twcli
