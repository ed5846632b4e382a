#pragma once
// Fixed facts about the desktop application: its name, version, desktop id and the
// documents its menus open. Safe from any thread.

#include <QString>

class TWAppInfo {
public:
    // The name the menus and the window title carry ("About %s", "Quit %s").
    static QString displayName();
    static QString version();
    // The desktop entry's id (also the icon's name in the hicolor theme).
    static QString desktopId();
    // The product web page; empty when the build names none.
    static QString productWebPage();
    // The help page that ships with the app: the installed one (share/twinsift/help
    // beside the executable's bin/), else the source tree's; empty when neither exists.
    static QString helpDocument();
    // "image module: <path>" for the image module this process loaded (loading it
    // when it has not been yet), or the reason none could be; ends in a newline.
    static QString imageModuleLine();
};
