#pragma once

// The program's singleton list. Every singleton (the Application, the screens, the options, the
// in-game state, the campaign) is created on first use by its Instance accessor and put on this
// list; DestroySingletons destroys them, last created first, so the Application, which every
// accessor creates before its own object is listed, goes last.
// destroy deletes the object and forgets it, so that the next accessor call starts afresh.
void AddSingleton(void (*destroy)());
void DestroySingletons();

// Creates the Application when it does not exist yet.
void EnsureApplication();

// The accessor pattern: return the object when it exists; otherwise construct it, make sure the
// Application exists, list the object and return it.
template <typename T>
T* SingletonInstance()
{
    static T* instance = nullptr;
    if (!instance) {
        T* created = new T();
        instance = created;
        EnsureApplication();
        AddSingleton([] {
            T* object = instance;
            instance = nullptr;
            delete object;
        });
    }
    return instance;
}
