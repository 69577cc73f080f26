#pragma once

class GameObject;

// The alarm that enemies pull, as the characters see it: a game object of its own type with a
// position and health (the mission's alarm prop keeps it and sounds it). The mission's
// AlarmProp::Trigger is this; it lives here because the enemies pull alarms themselves.
constexpr int kAlarmObjectType = 5;
constexpr float kAlarmCallRadius = 250.0f;

// With notify a host tells the clients and goes on, a connected client tells the server and
// stops there (the server's alarm comes back to it). Every enemy within 250 units takes the
// alarm as its alarm target and stops being an alarm responder; the alarm sounds.
void TriggerAlarm(GameObject* alarm, bool notify);
