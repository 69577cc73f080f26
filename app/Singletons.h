#pragma once

#include "app/GameState.h"

// The program's singleton list. Every singleton (the Application, the screens, the options, the
// in-game state, the campaign) is a GameState created on first use by its Instance accessor and
// put on this list; DestroySingletons deletes them, last created first, so the Application, which
// every accessor creates before its own object is listed, goes last.
void AddSingleton(GameState* object, void (*forget)());
void DestroySingletons();

// Creates the Application when it does not exist yet.
void EnsureApplication();

// The accessor pattern: return the object when it exists; otherwise construct it, make sure the
// Application exists, list the object and return it. Forgetting on destruction lets the next
// accessor call start afresh.
template <typename T>
T* SingletonInstance()
{
    static T* instance = nullptr;
    if (!instance) {
        T* created = new T();
        instance = created;
        EnsureApplication();
        AddSingleton(created, [] { instance = nullptr; });
    }
    return instance;
}
