// The executor that runs the asynchronous calls of stub adapters (AsyncAdapter.h).

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "ormid/Any.h"
#include "ormid/AsyncAdapter.h"
#include "ormid/ManagedType.h"
#include "ormid/MethodFault.h"
#include "ormid/MoRef.h"
#include "pellum/Exception.h"
#include "pellum/Print.h"
#include "pellum/System/ScheduledItem.h"

namespace Ormid {

namespace {

// One queued unit of work. Run and Cancel each complete the work exactly once and never throw.
class Task {
public:
   virtual ~Task() = default;
   virtual void Run() noexcept = 0;
   virtual void Cancel() noexcept = 0;
};

// The state an executor shares with its worker threads. The threads hold it through a shared_ptr, so a
// worker never touches the executor object itself: the executor (and its adapter) may go away while a
// worker is still on its way out.
struct ExecutorState {
   std::mutex lock;
   std::condition_variable wake;
   std::deque<std::unique_ptr<Task>> queue;
   std::vector<std::thread> threads;
   unsigned idle = 0;
   bool stopping = false;
};

// What a stop takes over from an executor: the calls that never started and the threads to join.
struct Halted {
   std::deque<std::unique_ptr<Task>> queued;
   std::vector<std::thread> threads;
};

Halted Halt(ExecutorState& state) {
   Halted halted;
   {
      std::lock_guard<std::mutex> guard(state.lock);
      state.stopping = true;
      halted.queued.swap(state.queue);
      halted.threads.swap(state.threads);
   }
   state.wake.notify_all();
   return halted;
}

// Cancels what never started (outside every lock: the callbacks are the caller's code), then joins the
// workers. A worker that stops its own executor (the last reference to the adapter dropped on it) cannot
// join itself: it is detached and leaves its loop on its own.
void Finish(Halted halted) {
   for (auto& task : halted.queued) {
      task->Cancel();
      task.reset();
   }
   for (std::thread& thread : halted.threads) {
      if (thread.get_id() == std::this_thread::get_id()) {
         thread.detach();
      } else {
         thread.join();
      }
   }
}

void WorkerLoop(std::shared_ptr<ExecutorState> state) {
   std::unique_lock<std::mutex> guard(state->lock);
   for (;;) {
      ++state->idle;
      state->wake.wait(guard, [&] { return state->stopping || !state->queue.empty(); });
      --state->idle;
      if (state->queue.empty()) {
         return; // stopping
      }
      std::unique_ptr<Task> task = std::move(state->queue.front());
      state->queue.pop_front();
      guard.unlock();
      task->Run();
      task.reset(); // may release the last reference to the adapter
      guard.lock();
   }
}

// Every executor's state, so that the end of the process can stop them all. Never destroyed: executors
// that outlive the exit handler (an adapter held by a static) still find it.
struct LiveStates {
   std::mutex lock;
   std::vector<std::weak_ptr<ExecutorState>> states;
   bool exiting = false;
};

// Adds a readable explanation to a fault the runtime raises (the exception text names only the type).
void AddFaultMessage(MethodFault* fault, const char* key, std::string text) {
   Pellum::Ref<LocalizableMessage> message(new LocalizableMessage(key, std::move(text)));
   fault->GetFaultMessage()->Append(message.GetPtr());
}

LiveStates& GetLiveStates();

void HaltAllAtExit() {
   LiveStates& live = GetLiveStates();
   std::vector<std::shared_ptr<ExecutorState>> states;
   {
      std::lock_guard<std::mutex> guard(live.lock);
      live.exiting = true;
      for (const auto& weak : live.states) {
         if (auto state = weak.lock()) {
            states.push_back(std::move(state));
         }
      }
      live.states.clear();
   }
   for (const auto& state : states) {
      Finish(Halt(*state));
   }
}

LiveStates& GetLiveStates() {
   static LiveStates* live = [] {
      auto* states = new LiveStates();
      std::atexit(HaltAllAtExit);
      return states;
   }();
   return *live;
}

[[noreturn]] void ThrowCanceled(const std::string& what) {
   Pellum::Ref<Fault::RequestCanceled> fault(new Fault::RequestCanceled());
   AddFaultMessage(fault.GetPtr(), "ormid.loopback.canceled", what);
   throw Fault::RequestCanceled::Exception(fault.GetPtr());
}

// The exception a fault is raised as, for delivery to a completion callback.
std::unique_ptr<Pellum::Exception> ExceptionOf(MethodFault* fault) {
   return std::unique_ptr<Pellum::Exception>(fault->CreateException());
}

Pellum::Ref<Fault::SystemError> SystemErrorOf(const std::string& reason) {
   return Pellum::Ref<Fault::SystemError>(new Fault::SystemError(reason));
}

} // namespace

// --- Executor --------------------------------------------------------------------------------------------

class AsyncStubAdapter::Executor {
public:
   explicit Executor(unsigned maxThreads)
       : _state(std::make_shared<ExecutorState>()), _maxThreads(maxThreads) {
      LiveStates& live = GetLiveStates();
      std::lock_guard<std::mutex> guard(live.lock);
      if (live.exiting) {
         _state->stopping = true;
         return;
      }
      std::erase_if(live.states, [](const std::weak_ptr<ExecutorState>& weak) { return weak.expired(); });
      live.states.push_back(_state);
   }

   ~Executor() { Finish(Halt(*_state)); }

   Executor(const Executor&) = delete;
   Executor& operator=(const Executor&) = delete;

   // Queues `task`, starting a worker when every running one is busy and the bound allows. Raises
   // RequestCanceled once stopped (the task is dropped without running).
   void Submit(std::unique_ptr<Task> task, const std::string& what) {
      {
         std::unique_lock<std::mutex> guard(_state->lock);
         if (_state->stopping) {
            guard.unlock();
            task.reset();
            ThrowCanceled(what + ": the adapter's executor is stopped");
         }
         _state->queue.push_back(std::move(task));
         if (_state->queue.size() > _state->idle && _state->threads.size() < _maxThreads) {
            try {
               _state->threads.emplace_back(WorkerLoop, _state);
            } catch (...) {
               if (_state->threads.empty()) {
                  _state->queue.pop_back();
                  throw;
               }
               // Some worker exists and will get to the call.
            }
         }
      }
      _state->wake.notify_one();
   }

   void Stop() { Finish(Halt(*_state)); }

   unsigned GetThreadCount() const {
      std::lock_guard<std::mutex> guard(_state->lock);
      return static_cast<unsigned>(_state->threads.size());
   }

   unsigned GetMaxThreads() const noexcept { return _maxThreads; }

private:
   std::shared_ptr<ExecutorState> _state;
   const unsigned _maxThreads;
};

// --- Asynchronous call -----------------------------------------------------------------------------------

namespace {

class AsyncCall final : public Task {
public:
   AsyncCall(AsyncStubAdapter* adapter, MoRef* ref, ManagedMethod* method, const ArgumentList& args,
             const CompletionFn& done, Pellum::System::ScheduledItem* item, RequestContext* context)
       : _adapter(adapter), _ref(ref), _method(method), _args(args), _done(done), _item(item),
         _context(context) {}

   void Run() noexcept override {
      Pellum::Ref<Any> result;
      std::unique_ptr<Pellum::Exception> error;
      try {
         _adapter->Invoke(_ref.GetPtr(), _method, _args, result, _context.GetPtr());
      } catch (const MethodFault::Exception& e) {
         error = e.GetFault() != nullptr ? ExceptionOf(e.GetFault())
                                         : std::unique_ptr<Pellum::Exception>(e.Clone());
      } catch (const Pellum::Exception& e) {
         error.reset(e.Clone());
      } catch (const std::exception& e) {
         error = ExceptionOf(SystemErrorOf(e.what()).GetPtr());
      } catch (...) {
         error = ExceptionOf(SystemErrorOf("unknown exception").GetPtr());
      }
      _args.clear();
      Complete(error.get(), error ? nullptr : result.GetPtr());
   }

   void Cancel() noexcept override {
      Pellum::Ref<Fault::RequestCanceled> fault(new Fault::RequestCanceled());
      AddFaultMessage(fault.GetPtr(), "ormid.loopback.canceled",
                      _method->GetFullName() + " on " + _ref->ToString() +
                          ": canceled before it started (the adapter's executor stopped)");
      std::unique_ptr<Pellum::Exception> error = ExceptionOf(fault.GetPtr());
      _args.clear();
      Complete(error.get(), nullptr);
   }

private:
   void Complete(Pellum::Exception* error, Any* result) noexcept {
      if (_done) {
         try {
            _done(_item.GetPtr(), error, result);
         } catch (const std::exception& e) {
            std::fprintf(stderr, "ormid: the completion callback of %s on %s raised: %s\n",
                         _method->GetFullName().c_str(), _ref->ToString().c_str(), e.what());
         } catch (...) {
            std::fprintf(stderr, "ormid: the completion callback of %s on %s raised an unknown exception\n",
                         _method->GetFullName().c_str(), _ref->ToString().c_str());
         }
      }
      _item->Complete();
   }

   Pellum::Ref<AsyncStubAdapter> _adapter; // an asynchronous call keeps its adapter alive
   Pellum::Ref<MoRef> _ref;
   ManagedMethod* _method;
   ArgumentList _args;
   CompletionFn _done;
   Pellum::Ref<Pellum::System::ScheduledItem> _item;
   Pellum::Ref<RequestContext> _context;
};

unsigned DefaultThreads(unsigned requested) {
   if (requested != 0) {
      return requested;
   }
   return std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
}

// The context the call runs with: a copy of the caller's taken when the call starts, or none.
Pellum::Ref<RequestContext> StartingContext(RequestContext* context) {
   return Pellum::Ref<RequestContext>(context != nullptr ? new RequestContext(*context) : nullptr);
}

} // namespace

// --- AsyncStubAdapter ------------------------------------------------------------------------------------

AsyncStubAdapter::AsyncStubAdapter(unsigned maxThreads)
    : _executor(std::make_unique<Executor>(DefaultThreads(maxThreads))) {}

AsyncStubAdapter::~AsyncStubAdapter() {
   _executor.reset();
}

void AsyncStubAdapter::StartInvoke(MoRef* ref, ManagedMethod* method, ArgumentList& args,
                                   const CompletionFn& done, Pellum::Ref<Pellum::System::ScheduledItem>& item,
                                   RequestContext* context) {
   if (ref == nullptr || method == nullptr) {
      throw Pellum::Exception(
          Pellum::ASPrint("StartInvoke: null %1", ref == nullptr ? "reference" : "method"));
   }
   if (GetRefCount() <= 0) {
      throw Pellum::Exception("StartInvoke: the adapter must be held by a Pellum::Ref");
   }
   std::string what = method->GetFullName() + " on " + ref->ToString();
   Pellum::Ref<Pellum::System::ScheduledItem> started(new Pellum::System::ScheduledItem(what));
   Pellum::Ref<RequestContext> starting = StartingContext(context);
   _executor->Submit(
       std::make_unique<AsyncCall>(this, ref, method, args, done, started.GetPtr(), starting.GetPtr()), what);
   item = std::move(started);
}

unsigned AsyncStubAdapter::GetMaxThreads() const noexcept {
   return _executor->GetMaxThreads();
}

unsigned AsyncStubAdapter::GetThreadCount() const {
   return _executor->GetThreadCount();
}

void AsyncStubAdapter::Shutdown() {
   _executor->Stop();
}

} // namespace Ormid
