#pragma once
// The one way the filters' work hops threads: heavy work (reading the
// shipped files, converting lists, checking compiled files) runs in a GIO
// task on a worker thread, then its result comes back on the main loop.
#include <memory>
#include <utility>

#include <gio/gio.h>

namespace lumo {

// Runs `work` on a worker thread, then `then` on the main loop, each with
// the same data, which `work` alone touches until `then` runs.
template <typename Data>
void RunOnWorker(std::unique_ptr<Data> data, void (*work)(Data&), void (*then)(Data&))
{
    struct Task
    {
        std::unique_ptr<Data> data;
        void (*work)(Data&);
        void (*then)(Data&);
    };
    g_autoptr(GTask) task = g_task_new(
        nullptr, nullptr,
        [](GObject*, GAsyncResult* result, gpointer) {
            auto* t = static_cast<Task*>(g_task_get_task_data(G_TASK(result)));
            t->then(*t->data);
        },
        nullptr);
    g_task_set_task_data(task, new Task{std::move(data), work, then},
                         [](gpointer t) { delete static_cast<Task*>(t); });
    g_task_run_in_thread(task, [](GTask* t, gpointer, gpointer data, GCancellable*) {
        auto* me = static_cast<Task*>(data);
        me->work(*me->data);
        g_task_return_boolean(t, TRUE);
    });
}

} // namespace lumo
