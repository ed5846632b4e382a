#include "model/TWFileUtilityMgr.h"

std::shared_ptr<TWFileUtilityMgr> TWFileUtilityMgr::initWithFileUtility(FilePtr file, GroupPtr group) {
    const bool first = file && group && group->indexOfFileUtility(file) == 0;
    return std::make_shared<TWFileUtilityMgr>(std::move(file), std::move(group), first);
}
