#pragma once
// Runs the script texts that gather library items in the library's own application.
// Linux has no such script service: the default executor says so in the log and
// refuses. A backend that drives a library application would be installed here.
// Implementations must be safe from any thread.

#include <memory>
#include <optional>
#include <string>

namespace tw {

class ScriptExecutor {
public:
    struct Result {
        bool compiled = false;
        std::string compileError;  // description when !compiled
        std::string value;         // the script's result as text
        std::optional<std::string> runError;  // description when running failed
    };
    virtual ~ScriptExecutor() = default;
    virtual Result run(const std::string& scriptText) = 0;

    // The installed executor; the default one when none was installed.
    static std::shared_ptr<ScriptExecutor> installed();
    static void install(std::shared_ptr<ScriptExecutor> executor);  // null restores the default
};

}  // namespace tw
