#pragma once
// Where a file record learns the privilege of its folder grant. Grants are settings, and
// the preferences sit above the record, so the record cannot ask them itself: the
// preferences install a source when the program starts (prefs/TWPreference.cpp), and a
// record asks whatever source is installed on every call. Without one, every record's
// privilege is -1 (no grant).
//
// Safe from any thread; an installed source must be safe from any thread too and must
// outlive every call (install a static object).

#include <cstdint>
#include <string>

class TWPrivilegeSource {
public:
    virtual ~TWPrivilegeSource() = default;

    // The privilege of the nearest granted folder above `path`, -1 when none.
    virtual int64_t privilegeAtPath(const std::string& path) const = 0;

    // Replaces the installed source (null uninstalls); answers the one it replaced.
    static const TWPrivilegeSource* install(const TWPrivilegeSource* source);
    static const TWPrivilegeSource* installed();
};
