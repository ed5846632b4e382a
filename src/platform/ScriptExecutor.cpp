#include "platform/ScriptExecutor.h"

#include <mutex>

namespace tw {

namespace {

class NoScriptService : public ScriptExecutor {
public:
    Result run(const std::string&) override {
        Result r;
        r.compiled = false;
        r.compileError = "no script service is available to run library scripts on this system";
        return r;
    }
};

std::mutex gMutex;
std::shared_ptr<ScriptExecutor> gExecutor;

}  // namespace

std::shared_ptr<ScriptExecutor> ScriptExecutor::installed() {
    std::lock_guard<std::mutex> lock(gMutex);
    if (!gExecutor) gExecutor = std::make_shared<NoScriptService>();
    return gExecutor;
}

void ScriptExecutor::install(std::shared_ptr<ScriptExecutor> executor) {
    std::lock_guard<std::mutex> lock(gMutex);
    gExecutor = std::move(executor);
}

}  // namespace tw
