#pragma once
// The single instances of the app's window-wide controllers (the results browser and
// its parts, the preferences window, the thumbnail cache, ...): made on first use and
// deleted by reset(), so that the app's end and every test start from nothing. Each
// class keeps its own accessors (shared(), shareToolBar(), ...) over this template and
// befriends it, so that nothing else makes or deletes an instance.
//
// Main thread only.

template <typename T>
class TWSharedInstance {
public:
    // The instance, made by the first call since the last reset (a QApplication must exist).
    static T* get() {
        T*& instance = slot();
        if (!instance) instance = new T();
        return instance;
    }
    // The instance, or null when none is made.
    static T* existing() { return slot(); }
    // Deletes the instance, if there is one; the next get() makes a new one.
    static void reset() {
        delete slot();
        slot() = nullptr;
    }

private:
    static T*& slot() {
        static T* instance = nullptr;
        return instance;
    }
};
