// Ormid::AsyncStubAdapter: the asynchronous half of a stub adapter, shared by every transport.
//
// A transport implements the synchronous Invoke; StartInvoke returns at once and runs the same Invoke on
// a worker thread of the adapter's executor (at most GetMaxThreads() threads, started as asynchronous
// calls arrive and kept until the executor stops). The worker sees a copy of the caller's request context
// taken when the call starts. When the call ends the adapter calls the completion callback with the
// outcome (a fault as an exception of the fault's own class, created for the callback and destroyed after
// it; any other exception as an Ormid::Fault::SystemError fault naming it) and then completes the item.
// An exception thrown by the callback is written to standard error and otherwise dropped; the item is
// completed all the same. A pending asynchronous call keeps the adapter alive.
//
// Shutdown: Shutdown(), or the end of the process (an exit handler of the runtime), stops the executor:
// calls already running finish, calls still queued complete with an Ormid::Fault::RequestCanceled fault,
// the worker threads are joined, and later asynchronous calls raise that fault at once. Destroying the
// adapter (possible only once no asynchronous call is pending) joins its idle workers.
//
// All members are safe to call from any thread.
#pragma once

#include <memory>

#include "ormid/Export.h"
#include "ormid/Stub.h"

namespace Ormid {

class ORMID_API AsyncStubAdapter : public StubAdapter {
public:
   ~AsyncStubAdapter() override;
   AsyncStubAdapter(const AsyncStubAdapter&) = delete;
   AsyncStubAdapter& operator=(const AsyncStubAdapter&) = delete;

   void StartInvoke(MoRef* ref, ManagedMethod* method, ArgumentList& args, const CompletionFn& done,
                    Pellum::Ref<Pellum::System::ScheduledItem>& item, RequestContext* context) override;

   unsigned GetMaxThreads() const noexcept;
   // Worker threads running now (0 until the first asynchronous call).
   unsigned GetThreadCount() const;
   // Stops the executor now (see Shutdown above); later asynchronous calls raise RequestCanceled.
   // Synchronous calls keep working. Idempotent.
   void Shutdown();

   class Executor; // internal

protected:
   // maxThreads: upper bound of worker threads (0: the hardware's concurrency, at least 1 and at most 4).
   explicit AsyncStubAdapter(unsigned maxThreads);
   // Subclasses stop the executor first thing in their destructor, so that no worker runs their Invoke
   // while they are being destroyed.
   void StopExecutor() { Shutdown(); }

private:
   std::unique_ptr<Executor> _executor;
};

} // namespace Ormid
