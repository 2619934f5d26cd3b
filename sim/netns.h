#pragma once

#include <QString>

namespace sim {
namespace netns {

// Moves this process into a network namespace of its own that holds only the loopback
// interface, brought up; where it may not make one alone, into a user namespace first. Every
// thread and child started afterwards shares it, so call it before any other thread exists.
// Succeeds only when /proc/self/ns/net is seen to differ from before; false with why otherwise.
bool isolate(QString* error);
// Whether isolate() succeeded: only then may anything here bind beyond 127.0.0.0/8.
bool isolated();
// Gives the namespace's loopback interface address/prefix too; only once isolated.
bool addLoopbackAddress(const QString& address, int prefix, QString* error);

} // namespace netns
} // namespace sim
