#pragma once

#include <functional>
#include <stop_token>

class TaskProgress;

// Runs work on a worker thread while the calling (user-interface) thread
// keeps turning: every few milliseconds it pumps progress (the event loop
// when there is none), calls eachTurn, and passes the user's confirmed stop
// on to the work as a stop request. Returns once the work has ended; an
// exception the work threw is thrown again here. The work must not touch
// widgets or anything the user-interface thread changes meanwhile.
void RunInBackground(const std::function<void(std::stop_token)>& work, TaskProgress* progress,
                     const std::function<void()>& eachTurn = {});
