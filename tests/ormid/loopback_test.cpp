// The runtime's loopback adapter, client stubs and dispatchers, driven with the generated recorders of the
// test namespace (Recorders.h); every member of every type of the library goes through its stub this way in
// the conformance tests.

#include <gtest/gtest.h>

#include "ormidtest/LeaseSkeleton.h"
#include "ormidtest/SubPart.h"
#include "ormidtest/nested/FolderSkeleton.h"
#include "ormidtest/nested/FolderStub.h"
#include "served_lease.h"

namespace {

using Ormidtest::Lease;
using Pellum::Ref;
using Pellum::System::ScheduledItem;
using Served::LeaseRecorder;
using FolderRecorder = Recording::OrmidtestNestedFolderRecorder;
using Parts = Ormid::DataArray<Ormidtest::Part>;

constexpr std::chrono::seconds kWait(20);

// A copy of what `call` raised; null, and a failure, when it raised nothing.
std::unique_ptr<Pellum::Exception> Raised(const std::function<void()>& call) {
   try {
      call();
   } catch (const Pellum::Exception& e) {
      return std::unique_ptr<Pellum::Exception>(e.Clone());
   }
   ADD_FAILURE() << "nothing raised";
   return nullptr;
}

// The fault of class F that `call` raises as F's exception.
template <class F> Ref<F> FaultOf(const std::function<void()>& call) {
   std::unique_ptr<Pellum::Exception> e = Raised(call);
   auto* raised = dynamic_cast<typename F::Exception*>(e.get());
   EXPECT_NE(raised, nullptr) << "no " << typeid(F).name() << " raised";
   return raised != nullptr ? Ref<F>(static_cast<F*>(raised->GetFault())) : nullptr;
}

Ormid::ManagedMethod* LeaseMethod(const char* name) {
   return Ormid::GetMoType<Lease>()->FindMethod(name);
}

// The outcome of one asynchronous call as its callback saw it; read once the item is done (the callback runs
// before the completion).
struct Outcome {
   ScheduledItem* item = nullptr;
   Ref<Ormid::Any> result;
   std::unique_ptr<Pellum::Exception> error;
   std::thread::id thread;
   Ormid::CompletionFn Callback() {
      return [this](ScheduledItem* done, Pellum::Exception* e, Ormid::Any* value) {
         item = done;
         result = value;
         error.reset(e != nullptr ? e->Clone() : nullptr);
         thread = std::this_thread::get_id();
      };
   }
   std::string Text() const { return result ? Ormid::Unbox<std::string>(result.GetPtr()) : "(no result)"; }
};

class Loopback : public ::testing::Test {
protected:
   void SetUp() override {
      folder->answer = [](const Recording::Call& call) -> Ref<Ormid::Any> {
         return call.member == "ormidtest.nested.Folder.GetName" ? Ormid::Box(std::string("folder f-1"))
                                                                 : nullptr;
      };
      adapter->Register(lease.GetPtr());
      adapter->Register(folder.GetPtr());
      stub = adapter->GetStub<Ormidtest::LeaseStub>(lease->_GetRef());
   }
   // The members the lease received since the last look.
   std::vector<std::string> Calls() {
      std::vector<std::string> out;
      for (const Recording::Call& call : lease->TakeCalls()) {
         out.push_back(call.member);
      }
      return out;
   }
   // The request context of the last call that reached the lease.
   auto LastContext() { return lease->TakeCalls().back().context; }
   // Starts Complete on `on` and returns once the lease holds the call.
   Ref<ScheduledItem> StartHeld(Ormidtest::LeaseStub& on, Outcome& outcome) {
      Ref<ScheduledItem> item;
      lease->Hold(true);
      on.Complete(nullptr, outcome.Callback(), item);
      lease->AwaitHeldCall();
      return item;
   }

   Ref<Ormid::LoopbackAdapter> adapter{new Ormid::LoopbackAdapter(2)};
   Ref<LeaseRecorder> lease = Served::ServedLease("lease-1");
   Ref<FolderRecorder> folder{new FolderRecorder("f-1")};
   Ref<Ormidtest::LeaseStub> stub; // the interface's members and the asynchronous ones
};

// (The stub of each type of the library is of that type and holds its reference: tests/types.)
TEST_F(Loopback, StubsAndTheAdapterRefuseWhatDoesNotFit) {
   auto& impl = dynamic_cast<Ormid::StubImpl&>(*stub);
   EXPECT_EQ(impl._GetStubAdapter(), adapter.GetPtr());
   // A folder reference gives a folder stub, which is no lease.
   EXPECT_THROW(adapter->GetStub<Lease>(folder->_GetRef()), Pellum::TypeMismatchException);
   EXPECT_TRUE(adapter->GetStub<Ormidtest::Nested::Entity>(folder->_GetRef()));
   // A stub needs a reference and an adapter; a reference to an unregistered type has none.
   EXPECT_THROW(Ormid::GetMoType<Lease>()->CreateStub(lease->_GetRef(), nullptr, nullptr), Pellum::Exception);
   EXPECT_THROW(Ormid::GetMoType<Lease>()->CreateStub(nullptr, adapter.GetPtr(), nullptr), Pellum::Exception);
   Ref<Ormid::MoRef> unknown(new Ormid::MoRef("ormidtest.Unknown", "x"));
   EXPECT_THROW(adapter->GetStub<Ormidtest::Nested::Entity>(unknown.GetPtr()), Pellum::Exception);
   // A method of another type is not supported.
   Ormid::ArgumentList args = {Ormid::Box(5)};
   Ref<Ormid::Any> result;
   EXPECT_THROW(adapter->Invoke(folder->_GetRef(), LeaseMethod("progress"), args, result, nullptr),
                Ormid::Fault::NotSupported::Exception);
   // The stub checks the argument count before anything leaves it.
   args.clear();
   EXPECT_THROW(impl._Invoke_Task(LeaseMethod("progress"), args), Pellum::Exception);
   EXPECT_THROW(impl._Invoke_Task(nullptr, args), Pellum::Exception);
   EXPECT_EQ(folder->CallCount() + lease->CallCount(), 0u);
}

// (What every member sends and answers, through every stub of the library, is compared by the generated
// conformance tests.)
TEST_F(Loopback, ArgumentsAreNotCopiedAndInheritedMembersGoThroughTheBase) {
   Ref<Parts> parts(new Parts{new Ormidtest::Part()});
   EXPECT_EQ(stub->Complete(parts.GetPtr()).GetValue(), "lease lease-1 for (anonymous)");
   std::vector<Recording::Call> calls = lease->TakeCalls();
   ASSERT_EQ(calls.size(), 1u);
   EXPECT_EQ(calls[0].args[0].GetPtr(), parts.GetPtr());
   calls.clear(); // nothing of the call is kept: the caller's objects are back to the caller's references
   EXPECT_EQ(parts->GetRefCount(), 1);

   // A member of the base type, on an object of a derived type.
   Ref<Ormidtest::Nested::Entity> entity = adapter->GetStub<Ormidtest::Nested::Entity>(folder->_GetRef());
   EXPECT_EQ(entity->GetName(), "folder f-1");
   entity->Reload();
   std::vector<Recording::Call> folderCalls = folder->TakeCalls();
   ASSERT_EQ(folderCalls.size(), 2u);
   EXPECT_EQ(folderCalls[1].member, "ormidtest.nested.Entity.Reload");
}

// A fault of the implementation, declared or not, a plain exception and an unknown target: a synchronous
// call raises, and an asynchronous one hands its callback, an exception of the fault's own class.
TEST_F(Loopback, FaultsReachTheCallerAsTheirOwnClass) {
   Ref<Ormid::MoRef> gone(new Ormid::MoRef(Ormid::GetMoType<Lease>(), "lease-9"));
   Ref<Ormidtest::LeaseStub> orphan = adapter->GetStub<Ormidtest::LeaseStub>(gone.GetPtr());
   const struct {
      Ormidtest::LeaseStub* on;
      int percent;
      const std::type_info& raised;
   } rows[] = {
       {stub.GetPtr(), -1, typeid(Ormidtest::Fault::Expired::Exception)},
       {stub.GetPtr(), 150, typeid(Ormid::Fault::NotSupported::Exception)},
       {stub.GetPtr(), 1000, typeid(Ormid::Fault::SystemError::Exception)},
       {orphan.GetPtr(), 1, typeid(Ormid::Fault::ManagedObjectNotFound::Exception)},
   };
   for (const auto& row : rows) {
      SCOPED_TRACE(Pellum::DemangleTypeName(row.raised));
      Outcome outcome;
      Ref<ScheduledItem> item;
      row.on->Progress(row.percent, outcome.Callback(), item);
      ASSERT_TRUE(item->WaitFor(kWait));
      EXPECT_FALSE(outcome.result);
      ASSERT_TRUE(outcome.error);
      const std::unique_ptr<Pellum::Exception> raised[] = {Raised([&] { row.on->Progress(row.percent); }),
                                                           Raised([&] { outcome.error->Throw(); })};
      for (const std::unique_ptr<Pellum::Exception>& e : raised) {
         ASSERT_TRUE(e);
         const Pellum::Exception& exception = *e;
         EXPECT_EQ(typeid(exception), row.raised);
         Ormid::MethodFault* fault = dynamic_cast<const Ormid::MethodFault::Exception&>(exception).GetFault();
         if (auto* error = dynamic_cast<Ormid::Fault::SystemError*>(fault)) {
            EXPECT_EQ(error->reason, "progress store unavailable");
         } else if (auto* notFound = dynamic_cast<Ormid::Fault::ManagedObjectNotFound*>(fault)) {
            EXPECT_TRUE(notFound->obj && notFound->obj->Equals(*gone));
         }
      }
   }
   EXPECT_EQ(Calls().size(), 6u) << "the unknown target's calls reach no implementation";
}

TEST_F(Loopback, RegistrationIsCheckedAndUnregisteringEndsTheService) {
   EXPECT_THROW(adapter->Register(lease.GetPtr()), Pellum::Exception); // already served
   EXPECT_THROW(adapter->Register(nullptr), Pellum::Exception);
   // A folder cannot serve a lease reference; it can serve a reference of its base type.
   Ref<Ormid::MoRef> leaseRef(new Ormid::MoRef(Ormid::GetMoType<Lease>(), "lease-5"));
   EXPECT_THROW(adapter->Register(leaseRef.GetPtr(), folder.GetPtr()), Pellum::Exception);
   Ref<Ormid::MoRef> entityRef(new Ormid::MoRef(Ormid::GetMoType<Ormidtest::Nested::Entity>(), "entity-5"));
   adapter->Register(entityRef.GetPtr(), folder.GetPtr());
   EXPECT_EQ(adapter->Find(entityRef.GetPtr()).GetPtr(), static_cast<Ormid::ManagedObject*>(folder.GetPtr()));
   EXPECT_EQ(adapter->GetStub<Ormidtest::Nested::Entity>(entityRef.GetPtr())->GetName(), "folder f-1");

   EXPECT_TRUE(adapter->Unregister(lease->_GetRef()));
   EXPECT_FALSE(adapter->Unregister(lease->_GetRef()));
   EXPECT_THROW(stub->Complete(nullptr), Ormid::Fault::ManagedObjectNotFound::Exception);
   EXPECT_EQ(adapter->GetObjectCount(), 2u);
   EXPECT_TRUE(Calls().empty());
}

TEST_F(Loopback, RequestContextTravelsWithTheCallAndIsCurrentInItsScope) {
   Ref<Ormid::RequestContext> context(new Ormid::RequestContext());
   context->Set("user", Ormid::Box(std::string("alice")).GetPtr());
   Ref<Lease> withContext = adapter->GetStub<Lease>(lease->_GetRef(), context.GetPtr());
   EXPECT_EQ(withContext->Complete(nullptr).GetValue(), "lease lease-1 for alice");
   // The serving side saw a copy, current only during the call.
   Ref<Ormid::RequestContext> seen = LastContext();
   ASSERT_TRUE(seen);
   EXPECT_NE(seen.GetPtr(), context.GetPtr());
   EXPECT_EQ(Ormid::RequestContext::GetCurrent(), nullptr);

   // Replacing the stub's context changes later calls.
   Ref<Ormid::RequestContext> bob(new Ormid::RequestContext(*context));
   bob->Set("user", Ormid::Box(std::string("bob")).GetPtr());
   dynamic_cast<Ormid::StubImpl&>(*withContext)._SetRequestContext(bob.GetPtr());
   EXPECT_EQ(withContext->Complete(nullptr).GetValue(), "lease lease-1 for bob");
   EXPECT_EQ(Ormid::Unbox<std::string>(context->Get("user").GetPtr()), "alice");

   // Without a context the implementation still finds an (empty) one.
   EXPECT_EQ(stub->Complete(nullptr).GetValue(), "lease lease-1 for (anonymous)");
   seen = LastContext();
   ASSERT_TRUE(seen);
   EXPECT_EQ(seen->size(), 0u);

   // An asynchronous call carries the context of its start: a change after the start does not reach it.
   bob->Set("user", Ormid::Box(std::string("carol")).GetPtr());
   Outcome outcome;
   Ref<ScheduledItem> item = StartHeld(dynamic_cast<Ormidtest::LeaseStub&>(*withContext), outcome);
   bob->Set("user", Ormid::Box(std::string("mallory")).GetPtr());
   lease->Hold(false);
   ASSERT_TRUE(item->WaitFor(kWait));
   EXPECT_EQ(outcome.Text(), "lease lease-1 for carol");

   // Entries, and the scopes that make a context current.
   Ref<Ormid::RequestContext> entries(new Ormid::RequestContext());
   entries->Set("b", Ormid::Box(2).GetPtr());
   entries->Set("a", nullptr);
   EXPECT_TRUE(entries->Contains("a"));
   EXPECT_FALSE(entries->Get("a"));
   EXPECT_EQ(entries->GetKeys(), (std::vector<std::string>{"a", "b"}));
   EXPECT_EQ(entries->ToString().rfind("RequestContext{a=(null), b=", 0), 0u) << entries->ToString();
   EXPECT_TRUE(entries->Remove("a"));
   EXPECT_FALSE(entries->Remove("a"));
   EXPECT_EQ(entries->size(), 1u);
   Ref<Ormid::RequestContext> inner(new Ormid::RequestContext());
   {
      Ormid::RequestContext::Scope outerScope(entries.GetPtr());
      {
         Ormid::RequestContext::Scope innerScope(inner.GetPtr());
         EXPECT_EQ(Ormid::RequestContext::GetCurrent(), inner.GetPtr());
      }
      EXPECT_EQ(Ormid::RequestContext::GetCurrent(), entries.GetPtr());
   }
   EXPECT_EQ(Ormid::RequestContext::GetCurrent(), nullptr);
}

TEST_F(Loopback, AsynchronousCallReportsTheResult) {
   Outcome outcome;
   Ref<ScheduledItem> item = StartHeld(*stub, outcome); // returned at once, while the call waits at the gate
   EXPECT_FALSE(item->IsDone());
   lease->Hold(false);
   ASSERT_TRUE(item->WaitFor(kWait));
   EXPECT_EQ(outcome.Text(), "lease lease-1 for (anonymous)");
   EXPECT_EQ(outcome.item, item.GetPtr());
   EXPECT_FALSE(outcome.error);
   EXPECT_NE(outcome.thread, std::this_thread::get_id());
   EXPECT_EQ(lease->TakeCalls().at(0).thread, outcome.thread);
   EXPECT_NE(item->GetDescription().find("ormidtest.Lease.complete"), std::string::npos);
   EXPECT_GE(adapter->GetThreadCount(), 1u);
   EXPECT_LE(adapter->GetThreadCount(), 2u);

   // A throwing callback still completes its item, and an empty callback is allowed.
   stub->Complete(
       nullptr, [](ScheduledItem*, Pellum::Exception*, Ormid::Any*) { throw std::runtime_error("oops"); },
       item);
   EXPECT_TRUE(item->WaitFor(kWait));
   stub->Progress(12, Ormid::CompletionFn(), item);
   ASSERT_TRUE(item->WaitFor(kWait));
   EXPECT_EQ(Calls(), (std::vector<std::string>{"ormidtest.Lease.Complete", "ormidtest.Lease.Progress"}));
}

TEST_F(Loopback, ShutdownCancelsQueuedCallsAndRefusesNewOnes) {
   Ref<Ormid::LoopbackAdapter> single(new Ormid::LoopbackAdapter(1));
   single->Register(lease.GetPtr());
   Ref<Ormidtest::LeaseStub> singleStub = single->GetStub<Ormidtest::LeaseStub>(lease->_GetRef());
   Outcome running;
   Outcome queued[2];
   Ref<ScheduledItem> runningItem = StartHeld(*singleStub, running); // the only worker is busy now
   Ref<ScheduledItem> queuedItems[2];
   singleStub->Progress(20, queued[0].Callback(), queuedItems[0]);
   singleStub->GetState(queued[1].Callback(), queuedItems[1]);

   // Shutdown cancels the queued calls at once, then waits for the running one.
   std::thread stopper([&] { single->Shutdown(); });
   for (auto& queuedItem : queuedItems) {
      ASSERT_TRUE(queuedItem->WaitFor(kWait));
   }
   EXPECT_FALSE(runningItem->IsDone());
   lease->Hold(false);
   stopper.join();
   EXPECT_TRUE(runningItem->IsDone());
   EXPECT_EQ(single->GetThreadCount(), 0u);
   EXPECT_EQ(running.Text(), "lease lease-1 for (anonymous)");
   for (Outcome& outcome : queued) {
      EXPECT_NE(dynamic_cast<Ormid::Fault::RequestCanceled::Exception*>(outcome.error.get()), nullptr);
      EXPECT_FALSE(outcome.result);
   }
   EXPECT_EQ(Calls(), std::vector<std::string>{"ormidtest.Lease.Complete"}); // the canceled calls never ran

   Ref<ScheduledItem> refused;
   EXPECT_THROW(singleStub->Complete(nullptr, Ormid::CompletionFn(), refused),
                Ormid::Fault::RequestCanceled::Exception);
   EXPECT_FALSE(refused);
   singleStub->Progress(30); // synchronous calls still work
   EXPECT_EQ(Calls(), std::vector<std::string>{"ormidtest.Lease.Progress"});
}

TEST_F(Loopback, PendingCallKeepsTheAdapterAlive) {
   Outcome outcome;
   Ref<ScheduledItem> item = StartHeld(*stub, outcome);
   stub = nullptr; // every reference the test holds
   adapter = nullptr;
   lease->Hold(false);
   ASSERT_TRUE(item->WaitFor(kWait));
   EXPECT_EQ(outcome.Text(), "lease lease-1 for (anonymous)");
}

// A generated skeleton (<Type>Skeleton.h) with the two members every implementation provides itself: a member
// nobody overrode raises NotSupported naming itself, whether the type declares it, declares it again or
// inherits it.
template <class Skeleton> class Unserved final : public Skeleton {
public:
   Ormid::MoRef* _GetRef() const override { return nullptr; }
   void _Invalidate() override {}
};

TEST(Skeleton, UnservedMembersRaiseNotSupportedNamingThemselves) {
   using Ormidtest::Nested::Folder;
   Ref<Folder> folder(new Unserved<Ormidtest::Nested::FolderSkeleton>());
   Ref<Folder::Lock> lock(new Unserved<Folder::LockSkeleton>()); // nested like its interface
   Ref<Lease> lease(new Unserved<Ormidtest::LeaseSkeleton>());
   Ref<Ormid::MoRef> out;
   const std::pair<std::function<void()>, const char*> rows[] = {
       {[&] { folder->CreateFolder("f", out); }, "Folder::CreateFolder"},
       {[&] { (void)folder->GetName(); }, "Folder::GetName"},
       {[&] { folder->Reload(); }, "Entity::Reload"},
       {[&] { lock->Release(out); }, "Folder::Lock::Release"},
       {[&] { lease->Progress(50); }, "Lease::Progress"},
   };
   for (const auto& [call, member] : rows) {
      Ref<Ormid::Fault::NotSupported> fault = FaultOf<Ormid::Fault::NotSupported>(call);
      ASSERT_TRUE(fault && fault->faultMessage && fault->faultMessage->size() == 1) << member;
      const Ormid::LocalizableMessage* m = (*fault->faultMessage)[0];
      EXPECT_EQ(m->key + ": " + m->message.GetValueOr(""),
                std::string("ormid.notServed: ") + member + " is not served here");
   }
}

// The end of the process stops every executor: each started call completes (run or canceled) and the
// workers are joined before the process goes.
std::atomic<int> gCompletedAtExit{0};

TEST(LoopbackExit, ExitCompletesEveryStartedCall) {
   // Threadsafe unless the environment chose the style (a cross build under an emulator forks: tests/CMakeLists.txt).
   if (std::getenv("GTEST_DEATH_TEST_STYLE") == nullptr) {
      GTEST_FLAG_SET(death_test_style, "threadsafe");
   }
   EXPECT_EXIT(
       {
          // Registered before the runtime's handler, so it runs after it.
          std::atexit([] { std::fprintf(stderr, "completed %d\n", gCompletedAtExit.load()); });
          static auto* adapter = new Ormid::LoopbackAdapter(1);
          adapter->IncRef(); // kept to the end of the process
          static auto* lease = new LeaseRecorder("lease-x");
          lease->IncRef();
          adapter->Register(lease);
          static auto* stub = adapter->GetStub<Ormidtest::LeaseStub>(lease->_GetRef()).Detach();
          for (int i = 0; i < 20; ++i) {
             Ref<ScheduledItem> item;
             stub->Progress(
                 i, [](ScheduledItem*, Pellum::Exception*, Ormid::Any*) { ++gCompletedAtExit; }, item);
          }
          std::exit(0);
       },
       ::testing::ExitedWithCode(0), "completed 20");
}

// --- The dispatcher and the type object's checks in front of it ---------------------------------------

class LeaseDispatch : public ::testing::Test {
protected:
   static Ormid::ManagedObjectType* Type() { return Ormid::GetMoType<Lease>(); }
   static int Slot(const char* name) { return LeaseMethod(name)->GetIndex(); }
   void Dispatch(const char* method, Ormid::ArgumentList args) { Dispatch(Slot(method), args); }
   void Dispatch(int index, Ormid::ArgumentList args) {
      Type()->GetDescriptor()->dispatch(lease.GetPtr(), index, args, result);
   }

   Ref<LeaseRecorder> lease{new LeaseRecorder("lease-d")};
   Ref<Ormid::Any> result;
};

// The dispatcher refuses what reaches it wrongly, and the type object (ManagedObjectType::Dispatch) first
// refuses a runtime bug, and a malformed call with the fault a client expects: nothing refused reaches the
// implementation. (A target of another type is refused for every type of the library by tests/types.)
TEST_F(LeaseDispatch, WrongCallsAreRefusedBeforeTheImplementation) {
   Dispatch("complete", {Ref<Ormid::Any>()}); // null arguments arrive as null (tests/types: every member)
   EXPECT_FALSE(lease->TakeCalls().at(0).args.at(0));
   EXPECT_FALSE(result) << "a null result stays null on the serving side";
   const int progress = Slot("progress");
   Ormid::ArgumentList args = {Ormid::Box(5)};
   EXPECT_THROW(Type()->GetDescriptor()->dispatch(nullptr, progress, args, result), Pellum::Exception);
   EXPECT_THROW(Type()->Dispatch(nullptr, progress, args, result), Pellum::Exception);

   EXPECT_THROW(Dispatch("progress", {Ormid::Box(std::string("50"))}), Pellum::TypeMismatchException);
   EXPECT_THROW(Dispatch("abort", {Ormid::Box(1)}), Pellum::TypeMismatchException);
   EXPECT_THROW(Dispatch("renew", {Ormid::Box(30L), Ormid::Box(std::string("soon"))}),
                Pellum::TypeMismatchException);
   Ref<Ormid::DataArray<Ormidtest::Sample>> wrongArray(new Ormid::DataArray<Ormidtest::Sample>());
   EXPECT_THROW(Dispatch("complete", {wrongArray}), Pellum::TypeMismatchException);

   // Slots outside the table (4 methods, 2 properties), or fewer arguments than parameters.
   for (int index : {6, 7, -1, 1000}) {
      EXPECT_THROW(Dispatch(index, {}), Pellum::Exception) << index;
      EXPECT_THROW(Type()->Dispatch(lease.GetPtr(), index, args, result), Pellum::Exception) << index;
   }
   EXPECT_THROW(Dispatch("progress", {}), Pellum::Exception);
   EXPECT_THROW(Dispatch("renew", {Ormid::Box(30L)}), Pellum::Exception);
   args.clear();
   EXPECT_THROW(Type()->Dispatch(lease.GetPtr(), progress, args, result),
                Ormid::Fault::InvalidRequest::Exception);
   args = {Ref<Ormid::Any>()};
   Ref<Ormid::Fault::InvalidArgument> invalid = FaultOf<Ormid::Fault::InvalidArgument>(
       [&] { Type()->Dispatch(lease.GetPtr(), progress, args, result); });
   ASSERT_TRUE(invalid);
   EXPECT_EQ(invalid->invalidProperty.GetValue(), "percent");
   EXPECT_EQ(lease->CallCount(), 0u);
}

} // namespace
