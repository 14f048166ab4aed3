// The power-on example: a client powers on a virtual machine that a server serves in the same process.
//
// Server side. DemoVirtualMachine implements Quorl::VirtualMachine and DemoTask implements Quorl::Task.
// Both start from the generated skeletons (quorl/VirtualMachineSkeleton.h, quorl/TaskSkeleton.h), which
// answer every member with the Ormid::Fault::NotSupported fault, and override only what the story uses.
// The interfaces are abstract: without a skeleton, an implementation would have to override each getter
// and method, those of the base types included, before it could be instantiated. The machine starts powered
// off. PowerOn answers at once with the reference of a new task, registered with the adapter, and boots
// the machine on a thread of its own; when the boot is over the machine is powered on and the task's info
// ends in state success. PowerOn of a machine that is already on raises quorl.fault.InvalidPowerState.
//
// Client side. The client talks to the machine only through stubs made by an Ormid::LoopbackAdapter, the
// in-process transport: each call goes through the runtime's dispatcher as it would on a server, and a
// fault raised by the implementation reaches the client as the exception class of that fault. The
// client knows nothing of the server's classes: it holds references (Ormid::MoRef) and stubs.
//
// The story:
//   1. the server registers a powered-off machine with the adapter;
//   2. the client powers it on and polls the returned task until it is done, then reads its info;
//   3. the client powers it on again and catches Quorl::Fault::InvalidPowerState::Exception;
//   4. the same call in its asynchronous form: the fault reaches the completion callback;
//   5. a member this small server does not implement answers Ormid::Fault::NotSupported.
#include "scenario.h"

#include <chrono>
#include <exception>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <utility>

#include "ormid/Loopback.h"
#include "ormid/MethodFault.h"
#include "ormid/ToString.h"
#include "quorl/Task.h"
#include "quorl/TaskInfo.h"
#include "quorl/TaskReasonSystem.h"
#include "quorl/TaskSkeleton.h"
#include "quorl/VirtualMachine.h"
#include "quorl/VirtualMachineSkeleton.h"
#include "quorl/VirtualMachineStub.h"
#include "quorl/fault/InvalidPowerState.h"
#include "quorl/fault/InvalidState.h"
#include "quorl/vm/RuntimeInfo.h"

namespace PowerOnExample {
namespace {

using namespace std::chrono_literals;
using Pellum::Ref;
using PowerState = Quorl::VirtualMachine::PowerState;
using TaskState = Quorl::TaskInfo::State;

// Data objects hold enumeration values as ordinals (int fields); the enumeration's registered type maps
// an ordinal to its name.
template <class E> int OrdinalOf(E value) {
   return static_cast<int>(value);
}
template <class E> const char* NameOf(int ordinal) {
   return Ormid::GetEnumType<E>()->GetTag(ordinal);
}

// ---------------------------------------------------------------------------------------------------
// Server side

// A task of the server: its info changes as the work it stands for goes on. The code doing the work
// calls the Mark* members; clients read the info through GetInfo.
class DemoTask final : public Quorl::TaskSkeleton {
public:
   // A queued task of `method` (its full name, "quorl.VirtualMachine.powerOn") on `entity`.
   DemoTask(const std::string& key, Ormid::MoRef* entity, const std::string& entityName, const char* method)
       : _ref(new Ormid::MoRef(Ormid::GetMoType<Quorl::Task>(), key)), _info(new Quorl::TaskInfo()) {
      _info->key = key;
      _info->task = _ref;
      _info->name = Ormid::MethodName(method);
      _info->descriptionId = method;
      _info->entity = entity;
      _info->entityName = entityName;
      _info->state = OrdinalOf(TaskState::queued);
      _info->cancelable = false;
      _info->queueTime = Pellum::System::DateTime::Now();
      // Every task has a reason; this server's are started by the system on a client's request.
      _info->reason = Pellum::MakeRef<Quorl::TaskReasonSystem>();
   }

   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}

   // A copy of the info as it is now. The loopback adapter hands results to the client without copying
   // them (nothing crosses a wire), and this info keeps changing while the task runs: the client must
   // get a snapshot, not the live object.
   void GetInfo(Ref<Quorl::TaskInfo>& info) override {
      std::lock_guard<std::mutex> guard(_lock);
      info = new Quorl::TaskInfo(*_info);
   }

   void MarkRunning() {
      std::lock_guard<std::mutex> guard(_lock);
      _info->state = OrdinalOf(TaskState::running);
      _info->startTime = Pellum::System::DateTime::Now();
      _info->progress = 0;
   }
   void MarkProgress(int percentDone) {
      std::lock_guard<std::mutex> guard(_lock);
      _info->progress = percentDone;
   }
   // `result` may be null: a power-on has no result.
   void MarkSucceeded(Ormid::Any* result) {
      std::lock_guard<std::mutex> guard(_lock);
      _info->state = OrdinalOf(TaskState::success);
      _info->result = result;
      _info->progress = 100;
      _info->completeTime = Pellum::System::DateTime::Now();
   }

private:
   const Ref<Ormid::MoRef> _ref;
   std::mutex _lock;
   const Ref<Quorl::TaskInfo> _info;
};

// A virtual machine of the server. Its power state is guarded by _lock: the boot thread changes it while
// the adapter may be serving calls.
class DemoVirtualMachine final : public Quorl::VirtualMachineSkeleton {
public:
   // `adapter` serves the machine and the tasks it creates. The adapter holds a reference to the machine,
   // so the machine keeps a plain pointer (a reference would make a cycle): it is valid as long as the
   // adapter serves the machine.
   DemoVirtualMachine(const std::string& id, std::string name, Ormid::LoopbackAdapter* adapter)
       : _ref(new Ormid::MoRef(Ormid::GetMoType<Quorl::VirtualMachine>(), id)), _name(std::move(name)),
         _adapter(adapter) {}

   // Waits for a boot still running: it works on this object.
   ~DemoVirtualMachine() override {
      if (_boot.joinable()) {
         _boot.join();
      }
   }

   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}

   // The property "name" (from quorl.ManagedEntity).
   std::string GetName() override { return _name; }

   // The property "runtime": the power state and, once booted, the boot time.
   void GetRuntime(Ref<Quorl::Vm::RuntimeInfo>& runtime) override {
      auto info = Pellum::MakeRef<Quorl::Vm::RuntimeInfo>();
      std::lock_guard<std::mutex> guard(_lock);
      info->powerState = OrdinalOf(_powerState);
      info->bootTime = _bootTime;
      runtime = info;
   }

   // Starts powering the machine on and answers the reference of the task that follows the boot.
   // `host`: this server has a single host, so the machine powers on where it is; naming a host is
   // refused. A machine that is not powered off raises InvalidPowerState, one that is booting
   // InvalidState.
   void PowerOn(Ormid::MoRef* host, Ref<Ormid::MoRef>& task) override {
      if (host != nullptr) {
         Ref<Ormid::Fault::InvalidArgument>(new Ormid::Fault::InvalidArgument("host"))->Throw();
      }
      std::lock_guard<std::mutex> guard(_lock);
      if (_powerState != PowerState::poweredOff) {
         auto fault = Pellum::MakeRef<Quorl::Fault::InvalidPowerState>();
         fault->requestedState = OrdinalOf(PowerState::poweredOn);
         fault->existingState = OrdinalOf(_powerState);
         fault->Throw();
      }
      if (_booting) {
         Pellum::MakeRef<Quorl::Fault::InvalidState>()->Throw();
      }

      // The task is a managed object like the machine: the client reads it through a stub, so the
      // adapter must serve it. It stays registered (a real server would drop it some time after it ends).
      Ref<DemoTask> powerOn(new DemoTask(_ref->GetId() + "-task-" + std::to_string(++_taskCount),
                                         _ref.GetPtr(), _name, Quorl::VirtualMachine::METHOD_POWERON));
      _adapter->Register(powerOn.GetPtr());
      powerOn->MarkRunning();
      _booting = true;
      // A previous boot thread, if any, has finished its work (_booting was false): collect it.
      if (_boot.joinable()) {
         _boot.join();
      }
      _boot = std::thread(&DemoVirtualMachine::Boot, this, powerOn);
      task = powerOn->_GetRef();
   }

private:
   // The work behind PowerOn, on its own thread: a real server would start the guest here. The task
   // reports progress on the way and success at the end, once the machine is on.
   void Boot(Ref<DemoTask> task) {
      std::this_thread::sleep_for(20ms);
      task->MarkProgress(50);
      std::this_thread::sleep_for(20ms);
      {
         std::lock_guard<std::mutex> guard(_lock);
         _powerState = PowerState::poweredOn;
         _bootTime = Pellum::System::DateTime::Now();
         _booting = false;
      }
      task->MarkSucceeded(nullptr);
   }

   const Ref<Ormid::MoRef> _ref;
   const std::string _name;
   Ormid::LoopbackAdapter* const _adapter;
   std::mutex _lock;
   PowerState _powerState = PowerState::poweredOff;
   Pellum::Optional<Pellum::System::DateTime> _bootTime;
   bool _booting = false;
   int _taskCount = 0;
   std::thread _boot;
};

// Step 1: serves a new, powered-off machine and answers its reference: all the client gets to know.
Ref<Ormid::MoRef> ServeMachine(Ormid::LoopbackAdapter& adapter, std::ostream& out) {
   Ref<DemoVirtualMachine> machine(new DemoVirtualMachine("vm-1", "web-01", &adapter));
   adapter.Register(machine.GetPtr());
   out << "server: serving " << Ormid::ToString(machine->_GetRef()) << " (" << machine->GetName()
       << "), powered off\n";
   return machine->_GetRef();
}

// ---------------------------------------------------------------------------------------------------
// Client side

std::string PowerStateOf(Quorl::VirtualMachine& vm) {
   Ref<Quorl::Vm::RuntimeInfo> runtime;
   vm.GetRuntime(runtime);
   return NameOf<PowerState>(runtime->powerState);
}

// Polls `task` until its state is success or error and answers the final info; null when the task is
// still going after `limit`. Prints each change of state or progress seen on the way.
Ref<Quorl::TaskInfo> WaitForTask(Quorl::Task& task, std::chrono::milliseconds limit, std::ostream& out) {
   const auto deadline = std::chrono::steady_clock::now() + limit;
   std::string seen;
   for (;;) {
      Ref<Quorl::TaskInfo> info;
      task.GetInfo(info);
      std::string now = NameOf<TaskState>(info->state);
      if (info->progress.IsSet()) {
         now += ", " + std::to_string(info->progress.GetValue()) + "%";
      }
      if (now != seen) {
         out << "client:   task " << info->key << ": " << now << "\n";
         seen = now;
      }
      if (info->state == OrdinalOf(TaskState::success) || info->state == OrdinalOf(TaskState::error)) {
         return info;
      }
      if (std::chrono::steady_clock::now() >= deadline) {
         return nullptr;
      }
      std::this_thread::sleep_for(5ms);
   }
}

void PrintInvalidPowerState(const Quorl::Fault::InvalidPowerState& fault, std::ostream& out) {
   out << "client:   requestedState = "
       << (fault.requestedState.IsSet() ? NameOf<PowerState>(fault.requestedState.GetValue()) : "<unset>")
       << ", existingState = " << NameOf<PowerState>(fault.existingState) << "\n";
}

int Fail(std::ostream& out, const std::string& what) {
   out << "power-on: FAILED: " << what << "\n";
   return 1;
}

// Steps 2 to 5.
int RunClient(Ormid::LoopbackAdapter& adapter, Ormid::MoRef* vmRef, std::ostream& out) {
   // A stub of the machine: every member call is a call through the adapter.
   Ref<Quorl::VirtualMachine> vm = adapter.GetStub<Quorl::VirtualMachine>(vmRef);
   out << "client: " << vm->GetName() << " is " << PowerStateOf(*vm) << "\n";

   // Step 2: power on. PowerOn runs as a task: the call answers the task's reference at once, the work
   // goes on in the background, and the task's info tells how it went.
   Ref<Ormid::MoRef> taskRef;
   vm->PowerOn(nullptr, taskRef);
   out << "client: PowerOn answered task " << Ormid::ToString(taskRef.GetPtr()) << "\n";
   Ref<Quorl::Task> task = adapter.GetStub<Quorl::Task>(taskRef.GetPtr());
   Ref<Quorl::TaskInfo> info = WaitForTask(*task, 5s, out);
   if (!info) {
      return Fail(out, "the power-on task did not end within 5 seconds");
   }
   out << "client: task info: state = " << NameOf<TaskState>(info->state)
       << ", entity = " << Ormid::ToString(info->entity.GetPtr()) << " ("
       << info->entityName.GetValueOr("no name") << "), result = " << Ormid::ToString(info->result.GetPtr())
       << "\n";
   if (info->state != OrdinalOf(TaskState::success)) {
      return Fail(out, "the power-on task failed: " + Ormid::ToString(info->error.GetPtr()));
   }
   const std::string state = PowerStateOf(*vm);
   out << "client: " << vm->GetName() << " is " << state << "\n";
   if (state != Quorl::VirtualMachine::POWERSTATE_POWEREDON) {
      return Fail(out, "the task succeeded but the machine is " + state);
   }

   // Step 3: power on again. The server refuses with a fault, which the stub raises as the fault's own
   // exception class; GetFault() answers the fault object itself (typed as its root class).
   out << "client: PowerOn again\n";
   try {
      Ref<Ormid::MoRef> again;
      vm->PowerOn(nullptr, again);
      return Fail(out, "a second PowerOn was accepted (task " + Ormid::ToString(again.GetPtr()) + ")");
   } catch (const Quorl::Fault::InvalidPowerState::Exception& e) {
      const auto* fault = dynamic_cast<const Quorl::Fault::InvalidPowerState*>(e.GetFault());
      if (fault == nullptr) {
         return Fail(out, "the exception does not carry an InvalidPowerState fault");
      }
      out << "client:   caught " << fault->_GetDataType()->GetName() << "\n";
      PrintInvalidPowerState(*fault, out);
   }

   // Step 4: the same call in its asynchronous form, which the generated stub class (not the interface)
   // declares. It returns at once; the adapter runs the call on a worker thread and then calls the
   // callback with the outcome: a fault arrives as a Pellum::Exception of the fault's exception class,
   // valid only during the callback, so the callback keeps a reference to the fault object instead. The
   // item completes after the callback has run, so once Wait() returns the callback's effects are seen.
   out << "client: PowerOn again, asynchronously\n";
   Ref<Quorl::VirtualMachineStub> asyncVm = adapter.GetStub<Quorl::VirtualMachineStub>(vmRef);
   Ref<Quorl::Fault::InvalidPowerState> asyncFault;
   std::string asyncOther;
   Ref<Pellum::System::ScheduledItem> item;
   asyncVm->PowerOn(
       nullptr,
       [&](Pellum::System::ScheduledItem*, Pellum::Exception* error, Ormid::Any* result) {
          const auto* refused = dynamic_cast<const Quorl::Fault::InvalidPowerState::Exception*>(error);
          if (refused != nullptr) {
             asyncFault = dynamic_cast<Quorl::Fault::InvalidPowerState*>(refused->GetFault());
          } else if (error != nullptr) {
             asyncOther = error->what();
          } else {
             asyncOther = "no fault, result " + Ormid::ToString(result);
          }
       },
       item);
   item->Wait();
   if (!asyncFault) {
      return Fail(out, "the asynchronous PowerOn did not end with InvalidPowerState: " + asyncOther);
   }
   out << "client:   the callback got " << asyncFault->_GetDataType()->GetName() << "\n";
   PrintInvalidPowerState(*asyncFault, out);

   // Step 5: this server implements only what the story needs; anything else is refused.
   out << "client: PowerOff\n";
   try {
      Ref<Ormid::MoRef> off;
      vm->PowerOff(off);
      return Fail(out, "PowerOff was accepted by a server that does not implement it");
   } catch (const Ormid::Fault::NotSupported::Exception& e) {
      const Ormid::MethodFault* fault = e.GetFault();
      out << "client:   caught " << fault->_GetDataType()->GetName();
      if (fault->faultMessage && fault->faultMessage->size() > 0) {
         out << ": " << (*fault->faultMessage)[0]->message.GetValueOr("");
      }
      out << "\n";
   }
   out << "power-on: done\n";
   return 0;
}

} // namespace
} // namespace PowerOnExample

Pellum::Ref<Ormid::MoRef> ServeExampleMachine(Ormid::LoopbackAdapter& adapter, const std::string& id,
                                              const std::string& name) {
   Pellum::Ref<PowerOnExample::DemoVirtualMachine> machine(
       new PowerOnExample::DemoVirtualMachine(id, name, &adapter));
   adapter.Register(machine.GetPtr());
   return machine->_GetRef();
}

int RunPowerOnScenario(std::ostream& out) {
   // The transport between client and server. Stubs keep it alive; so does the reference here.
   auto adapter = Pellum::MakeRef<Ormid::LoopbackAdapter>();
   int status = 1;
   try {
      Pellum::Ref<Ormid::MoRef> vmRef = PowerOnExample::ServeMachine(*adapter, out);
      status = PowerOnExample::RunClient(*adapter, vmRef.GetPtr(), out);
   } catch (const Ormid::MethodFault::Exception& e) {
      status = PowerOnExample::Fail(out, "unexpected fault " + Ormid::ToString(e.GetFault()));
   } catch (const std::exception& e) {
      status = PowerOnExample::Fail(out, std::string("unexpected error: ") + e.what());
   }
   // Stops the adapter's worker threads now rather than at the end of the process: the caller may go on
   // to other work. The registered objects go with the adapter once the last reference to it is gone.
   adapter->Shutdown();
   return status;
}
