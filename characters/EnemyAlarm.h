#pragma once

class GameObject;

// The alarm that enemies pull. The alarm prop itself (its sound and trigger) belongs to the
// mission, which sounds it through its hook; the characters' share is here: the network's copy
// and the enemies it calls.
class AlarmProp {
public:
    static constexpr int kObjectType = 5;
    static constexpr float kCallRadius = 250.0f;

    // With notify a host tells the clients and goes on, a connected client tells the server and
    // stops there (the server's alarm comes back to it). Every enemy within 250 units takes the
    // alarm as its alarm target and stops being an alarm responder; the alarm sounds.
    static void Trigger(GameObject* alarm, bool notify);
};
