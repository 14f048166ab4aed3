// Round trips through client stubs and the loopback adapter: arguments, results, faults, request
// contexts, asynchronous calls and shutdown.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "remote_lease_types.h"

using Pellum::Ref;
using Pellum::System::ScheduledItem;

namespace {

constexpr std::chrono::seconds kWait(20);

class RemoteLoopback : public ::testing::Test {
protected:
   void SetUp() override {
      adapter = new Ormid::LoopbackAdapter(2);
      lease = new RTestImpl::LeaseImpl("lease-1");
      entity = new RTestImpl::EntityImpl("entity-1");
      adapter->Register(lease.GetPtr());
      adapter->Register(entity.GetPtr());
      stub = adapter->GetStub<RTest::Lease>(lease->_GetRef());
   }

   // Starts member `slot` of rtest.Lease asynchronously through the stub.
   void StartLease(int slot, Ormid::ArgumentList args, const Ormid::CompletionFn& done,
                   Ref<ScheduledItem>& item) {
      RTestImpl::Start(*stub, gRTestLeaseMethodObjects[slot], std::move(args), done, item);
   }

   Ref<Ormid::LoopbackAdapter> adapter;
   Ref<RTestImpl::LeaseImpl> lease;
   Ref<RTestImpl::EntityImpl> entity;
   Ref<RTest::Lease> stub;
};

TEST_F(RemoteLoopback, StubOfTheReferencesMostDerivedType) {
   ASSERT_TRUE(stub);
   EXPECT_NE(dynamic_cast<RTest::LeaseStub*>(stub.GetPtr()), nullptr);
   EXPECT_EQ(stub->_GetType(), Ormid::GetMoType<RTest::Lease>());
   EXPECT_TRUE(stub->_GetRef()->Equals(*lease->_GetRef()));
   auto* impl = dynamic_cast<Ormid::StubImpl*>(stub.GetPtr());
   ASSERT_NE(impl, nullptr);
   EXPECT_EQ(impl->_GetStubAdapter(), adapter.GetPtr());
   // An entity reference gives an entity stub, which is no lease.
   EXPECT_THROW(adapter->GetStub<RTest::Lease>(entity->_GetRef()), Pellum::TypeMismatchException);
   EXPECT_TRUE(adapter->GetStub<RTest::Entity>(entity->_GetRef()));
   // A stub needs a reference and an adapter.
   EXPECT_THROW(Ref<RTest::LeaseStub>(new RTest::LeaseStub(nullptr, adapter.GetPtr(), nullptr)),
                Pellum::Exception);
   EXPECT_THROW(Ormid::GetMoType<RTest::Lease>()->CreateStub(lease->_GetRef(), nullptr, nullptr),
                Pellum::Exception);
   // A reference to an unregistered type has no stub.
   Ref<Ormid::MoRef> unknown(new Ormid::MoRef("rtest.Unknown", "x"));
   EXPECT_THROW(adapter->GetStub<RTest::Entity>(unknown.GetPtr()), Pellum::Exception);
}

TEST_F(RemoteLoopback, ArgumentsArriveIntactAndResultsComeBackConverted) {
   Ref<Ormid::Array<std::string>> urls(new Ormid::Array<std::string>{"http://a", "http://b"});
   Ref<Ormid::MoRef> peer(new Ormid::MoRef(Ormid::GetMoType<RTest::Entity>(), "entity-7"));
   Ref<Ormid::Array<std::string>> probed;
   stub->Probe(urls.GetPtr(), 30, peer.GetPtr(), true, probed);
   RTestImpl::ProbeCall call = lease->TakeProbe();
   EXPECT_EQ(call.urls.GetPtr(), urls.GetPtr()); // the same objects: values are not copied
   EXPECT_EQ(call.peer.GetPtr(), peer.GetPtr());
   EXPECT_EQ(call.timeout.GetValue(), 30);
   EXPECT_TRUE(call.strict);
   ASSERT_TRUE(probed);
   EXPECT_EQ(std::vector<std::string>(probed->begin(), probed->end()),
             (std::vector<std::string>{"http://a:checked", "http://b:checked"}));
   // Nothing of the call is kept: the caller's objects are back to the caller's references.
   call = RTestImpl::ProbeCall();
   EXPECT_EQ(urls->GetRefCount(), 1);
   EXPECT_EQ(peer->GetRefCount(), 1);

   // Unset and null arguments arrive unset and null; a null array result is an empty array for the caller.
   stub->Probe(nullptr, {}, nullptr, false, probed);
   call = lease->TakeProbe();
   EXPECT_FALSE(call.urls);
   EXPECT_FALSE(call.timeout.IsSet());
   EXPECT_FALSE(call.peer);
   ASSERT_TRUE(probed);
   EXPECT_TRUE(probed->empty());

   stub->Progress(35);
   EXPECT_EQ(stub->GetPercentDone(), 35);
   EXPECT_EQ(stub->Describe(true), "lease lease-1 for (anonymous) at 35%");
   // Inherited members go through the base type's table and dispatcher; a task method answers the task.
   EXPECT_EQ(stub->GetName(), "entity lease-1");
   Ref<Ormid::MoRef> task;
   stub->Rename("renamed", task);
   ASSERT_TRUE(task);
   EXPECT_EQ(task->ToString(), "rtest.Task:rename-lease-1");
   EXPECT_EQ(lease->GetNewName(), "renamed");
}

TEST_F(RemoteLoopback, FaultsKeepTheirClass) {
   try {
      stub->Progress(-1);
      FAIL() << "no fault";
   } catch (const Ormid::Fault::InvalidArgument::Exception& e) {
      auto* fault = dynamic_cast<Ormid::Fault::InvalidArgument*>(e.GetFault());
      ASSERT_NE(fault, nullptr);
      EXPECT_EQ(fault->invalidProperty.GetValue(), "percent");
      EXPECT_STREQ(e.what(), "Fault cause: kobl.fault.InvalidArgument\n");
   }
   EXPECT_THROW(stub->Progress(-1), Ormid::RuntimeFault::Exception);
   EXPECT_THROW(stub->Progress(-1), Ormid::MethodFault::Exception);
   // A fault the method does not declare keeps its class too.
   EXPECT_THROW(stub->Progress(150), Ormid::Fault::NotSupported::Exception);
   EXPECT_EQ(stub->GetPercentDone(), 0);
}

TEST_F(RemoteLoopback, OtherExceptionsBecomeSystemErrors) {
   try {
      stub->Progress(1000);
      FAIL() << "no fault";
   } catch (const Ormid::Fault::SystemError::Exception& e) {
      auto* fault = dynamic_cast<Ormid::Fault::SystemError*>(e.GetFault());
      ASSERT_NE(fault, nullptr);
      EXPECT_EQ(fault->reason, "progress store unavailable");
   }
}

TEST_F(RemoteLoopback, UnknownReferenceIsManagedObjectNotFound) {
   Ref<Ormid::MoRef> gone(new Ormid::MoRef(Ormid::GetMoType<RTest::Lease>(), "lease-9"));
   Ref<RTest::Lease> orphan = adapter->GetStub<RTest::Lease>(gone.GetPtr());
   try {
      orphan->Progress(1);
      FAIL() << "no fault";
   } catch (const Ormid::Fault::ManagedObjectNotFound::Exception& e) {
      auto* fault = dynamic_cast<Ormid::Fault::ManagedObjectNotFound*>(e.GetFault());
      ASSERT_NE(fault, nullptr);
      ASSERT_TRUE(fault->obj);
      EXPECT_TRUE(fault->obj->Equals(*gone));
      ASSERT_TRUE(fault->faultMessage);
      EXPECT_NE(fault->faultMessage->Get(0)->message.GetValue().find("rtest.Lease:lease-9"),
                std::string::npos);
   }
   // Unregistering ends the service.
   EXPECT_TRUE(adapter->Unregister(lease->_GetRef()));
   EXPECT_FALSE(adapter->Unregister(lease->_GetRef()));
   EXPECT_THROW(stub->GetMode(), Ormid::Fault::ManagedObjectNotFound::Exception);
   EXPECT_EQ(adapter->GetObjectCount(), 1u);
}

TEST_F(RemoteLoopback, MethodOfAnotherTypeIsNotSupported) {
   std::vector<Ref<Ormid::Any>> args = {Ormid::Box(5)};
   Ref<Ormid::Any> result;
   EXPECT_THROW(adapter->Invoke(entity->_GetRef(), gRTestLeaseMethodObjects[0], args, result, nullptr),
                Ormid::Fault::NotSupported::Exception);
   // The stub checks the argument count before anything leaves it.
   auto* impl = dynamic_cast<Ormid::StubImpl*>(stub.GetPtr());
   args.clear();
   EXPECT_THROW(impl->_Invoke_Task(gRTestLeaseMethodObjects[0], args), Pellum::Exception);
   EXPECT_THROW(impl->_Invoke_Task(nullptr, args), Pellum::Exception);
   EXPECT_EQ(lease->Calls(), 0);
}

TEST_F(RemoteLoopback, RegistrationIsChecked) {
   EXPECT_THROW(adapter->Register(lease.GetPtr()), Pellum::Exception); // already served
   Ref<RTestImpl::EntityImpl> other(new RTestImpl::EntityImpl("entity-2"));
   // An entity cannot serve a lease reference; a lease can serve an entity reference.
   Ref<Ormid::MoRef> leaseRef(new Ormid::MoRef(Ormid::GetMoType<RTest::Lease>(), "lease-5"));
   EXPECT_THROW(adapter->Register(leaseRef.GetPtr(), other.GetPtr()), Pellum::Exception);
   Ref<Ormid::MoRef> entityRef(new Ormid::MoRef(Ormid::GetMoType<RTest::Entity>(), "entity-5"));
   adapter->Register(entityRef.GetPtr(), lease.GetPtr());
   EXPECT_EQ(adapter->Find(entityRef.GetPtr()).GetPtr(), static_cast<Ormid::ManagedObject*>(lease.GetPtr()));
   EXPECT_EQ(adapter->GetStub<RTest::Entity>(entityRef.GetPtr())->GetName(), "entity lease-1");
   EXPECT_THROW(adapter->Register(nullptr), Pellum::Exception);
}

TEST_F(RemoteLoopback, RequestContextTravelsWithTheCall) {
   Ref<Ormid::RequestContext> context(new Ormid::RequestContext());
   context->Set("user", Ormid::Box(std::string("alice")).GetPtr());
   Ref<RTest::Lease> withContext = adapter->GetStub<RTest::Lease>(lease->_GetRef(), context.GetPtr());
   EXPECT_EQ(withContext->Describe(false), "lease lease-1 for alice");
   // The serving side saw a copy, current only during the call.
   Ref<Ormid::RequestContext> seen = lease->SeenContext();
   ASSERT_TRUE(seen);
   EXPECT_NE(seen.GetPtr(), context.GetPtr());
   EXPECT_EQ(Ormid::Unbox<std::string>(seen->Get("user").GetPtr()), "alice");
   EXPECT_EQ(Ormid::RequestContext::GetCurrent(), nullptr);

   // Replacing the stub's context changes later calls.
   Ref<Ormid::RequestContext> bob(new Ormid::RequestContext(*context));
   bob->Set("user", Ormid::Box(std::string("bob")).GetPtr());
   dynamic_cast<Ormid::StubImpl&>(*withContext)._SetRequestContext(bob.GetPtr());
   EXPECT_EQ(withContext->Describe(false), "lease lease-1 for bob");
   EXPECT_EQ(Ormid::Unbox<std::string>(context->Get("user").GetPtr()), "alice");

   // Without a context the implementation still finds an (empty) one.
   EXPECT_EQ(stub->Describe(false), "lease lease-1 for (anonymous)");
   ASSERT_TRUE(lease->SeenContext());
   EXPECT_EQ(lease->SeenContext()->size(), 0u);
}

TEST(RemoteRequestContext, EntriesAndScopes) {
   Ref<Ormid::RequestContext> context(new Ormid::RequestContext());
   context->Set("b", Ormid::Box(2).GetPtr());
   context->Set("a", nullptr);
   EXPECT_TRUE(context->Contains("a"));
   EXPECT_FALSE(context->Get("a"));
   EXPECT_EQ(context->GetKeys(), (std::vector<std::string>{"a", "b"}));
   EXPECT_EQ(context->ToString().rfind("RequestContext{a=(null), b=", 0), 0u) << context->ToString();
   EXPECT_TRUE(context->Remove("a"));
   EXPECT_FALSE(context->Remove("a"));
   EXPECT_EQ(context->size(), 1u);

   Ref<Ormid::RequestContext> inner(new Ormid::RequestContext());
   {
      Ormid::RequestContext::Scope outerScope(context.GetPtr());
      EXPECT_EQ(Ormid::RequestContext::GetCurrent(), context.GetPtr());
      {
         Ormid::RequestContext::Scope innerScope(inner.GetPtr());
         EXPECT_EQ(Ormid::RequestContext::GetCurrent(), inner.GetPtr());
      }
      EXPECT_EQ(Ormid::RequestContext::GetCurrent(), context.GetPtr());
   }
   EXPECT_EQ(Ormid::RequestContext::GetCurrent(), nullptr);
}

// The outcome of one asynchronous call as the callback saw it.
struct Outcome {
   std::mutex lock;
   ScheduledItem* item = nullptr;
   Ref<Ormid::Any> result;
   std::unique_ptr<Pellum::Exception> error;
   std::thread::id thread;
   Ormid::CompletionFn Callback() {
      return [this](ScheduledItem* done, Pellum::Exception* e, Ormid::Any* value) {
         std::lock_guard<std::mutex> guard(lock);
         item = done;
         result = value;
         error.reset(e != nullptr ? e->Clone() : nullptr);
         thread = std::this_thread::get_id();
      };
   }
};

TEST_F(RemoteLoopback, AsynchronousCallReportsTheResult) {
   Outcome outcome;
   Ref<ScheduledItem> item;
   lease->CloseGate();
   StartLease(2, {Ormid::Box(false)}, outcome.Callback(), item);
   ASSERT_TRUE(item); // returned at once, while the call waits at the gate
   lease->AwaitWaiter();
   EXPECT_FALSE(item->IsDone());
   lease->OpenGate();
   ASSERT_TRUE(item->WaitFor(kWait));
   std::lock_guard<std::mutex> guard(outcome.lock);
   EXPECT_EQ(outcome.item, item.GetPtr());
   EXPECT_FALSE(outcome.error);
   EXPECT_EQ(Ormid::Unbox<std::string>(outcome.result.GetPtr()), "lease lease-1 for (anonymous)");
   EXPECT_NE(outcome.thread, std::this_thread::get_id());
   EXPECT_EQ(lease->ServingThread(), outcome.thread);
   EXPECT_NE(item->GetDescription().find("rtest.Lease.describe"), std::string::npos);
   EXPECT_GE(adapter->GetThreadCount(), 1u);
   EXPECT_LE(adapter->GetThreadCount(), 2u);
}

TEST_F(RemoteLoopback, AsynchronousFaultsRethrowAsTheirOwnClass) {
   // A fault of the implementation, an unknown target and a plain exception: each reaches the callback as
   // an exception that rethrows with its own class.
   Ref<Ormid::MoRef> gone(new Ormid::MoRef(Ormid::GetMoType<RTest::Lease>(), "lease-9"));
   Ref<RTest::Lease> orphan = adapter->GetStub<RTest::Lease>(gone.GetPtr());
   Outcome invalid, missing, broken;
   Ref<ScheduledItem> items[3];
   StartLease(0, {Ormid::Box(-5)}, invalid.Callback(), items[0]);
   RTestImpl::Start(*orphan, gRTestLeaseMethodObjects[4], {}, missing.Callback(), items[1]);
   StartLease(0, {Ormid::Box(1000)}, broken.Callback(), items[2]);
   for (Ref<ScheduledItem>& item : items) {
      ASSERT_TRUE(item->WaitFor(kWait));
   }
   std::lock_guard<std::mutex> g1(invalid.lock), g2(missing.lock), g3(broken.lock);
   for (Outcome* o : {&invalid, &missing, &broken}) {
      ASSERT_TRUE(o->error);
      EXPECT_FALSE(o->result);
   }
   EXPECT_THROW(invalid.error->Throw(), Ormid::Fault::InvalidArgument::Exception);
   EXPECT_THROW(missing.error->Throw(), Ormid::Fault::ManagedObjectNotFound::Exception);
   auto* systemError = dynamic_cast<Ormid::Fault::SystemError::Exception*>(broken.error.get());
   ASSERT_NE(systemError, nullptr);
   EXPECT_EQ(dynamic_cast<Ormid::Fault::SystemError*>(systemError->GetFault())->reason,
             "progress store unavailable");
}

TEST_F(RemoteLoopback, AsynchronousCallCarriesTheContextAndTaskResults) {
   Ref<Ormid::RequestContext> context(new Ormid::RequestContext());
   context->Set("user", Ormid::Box(std::string("carol")).GetPtr());
   dynamic_cast<Ormid::StubImpl&>(*stub)._SetRequestContext(context.GetPtr());
   Outcome described;
   Ref<ScheduledItem> item;
   StartLease(2, {Ormid::Box(false)}, described.Callback(), item);
   // Changing the caller's context after the start does not reach the call.
   context->Set("user", Ormid::Box(std::string("mallory")).GetPtr());
   ASSERT_TRUE(item->WaitFor(kWait));
   {
      std::lock_guard<std::mutex> guard(described.lock);
      EXPECT_EQ(Ormid::Unbox<std::string>(described.result.GetPtr()), "lease lease-1 for carol");
   }

   // An inherited task method answers the task reference.
   Outcome renamed;
   RTestImpl::Start(*stub, gRTestEntityMethodObjects[0], {Ormid::Box(std::string("x"))}, renamed.Callback(),
                    item);
   ASSERT_TRUE(item->WaitFor(kWait));
   std::lock_guard<std::mutex> guard(renamed.lock);
   auto* task = dynamic_cast<Ormid::MoRef*>(renamed.result.GetPtr());
   ASSERT_NE(task, nullptr);
   EXPECT_EQ(task->GetId(), "rename-lease-1");
}

TEST_F(RemoteLoopback, ThrowingCallbackStillCompletesTheItem) {
   Ref<ScheduledItem> item;
   StartLease(
       4, {}, [](ScheduledItem*, Pellum::Exception*, Ormid::Any*) { throw std::runtime_error("oops"); },
       item);
   EXPECT_TRUE(item->WaitFor(kWait));
   // And an empty callback is allowed.
   StartLease(0, {Ormid::Box(12)}, Ormid::CompletionFn(), item);
   ASSERT_TRUE(item->WaitFor(kWait));
   EXPECT_EQ(stub->GetPercentDone(), 12);
}

TEST_F(RemoteLoopback, ShutdownCancelsQueuedCallsAndRefusesNewOnes) {
   Ref<Ormid::LoopbackAdapter> single(new Ormid::LoopbackAdapter(1));
   single->Register(lease.GetPtr());
   Ref<RTest::Lease> held = single->GetStub<RTest::Lease>(lease->_GetRef());
   auto start = [&](int slot, Ormid::ArgumentList args, Outcome* outcome, Ref<ScheduledItem>& item) {
      RTestImpl::Start(*held, gRTestLeaseMethodObjects[slot], std::move(args),
                       outcome != nullptr ? outcome->Callback() : Ormid::CompletionFn(), item);
   };

   lease->CloseGate();
   Outcome running;
   Outcome queued[2];
   Ref<ScheduledItem> runningItem;
   Ref<ScheduledItem> queuedItems[2];
   start(2, {Ormid::Box(false)}, &running, runningItem);
   lease->AwaitWaiter(); // the only worker is busy now
   start(0, {Ormid::Box(20)}, &queued[0], queuedItems[0]);
   start(4, {}, &queued[1], queuedItems[1]);

   // Shutdown cancels the queued calls at once, then waits for the running one.
   std::thread stopper([&] { single->Shutdown(); });
   for (auto& queuedItem : queuedItems) {
      ASSERT_TRUE(queuedItem->WaitFor(kWait));
   }
   EXPECT_FALSE(runningItem->IsDone());
   lease->OpenGate();
   stopper.join();
   EXPECT_TRUE(runningItem->IsDone());
   EXPECT_EQ(single->GetThreadCount(), 0u);

   {
      std::lock_guard<std::mutex> guard(running.lock);
      EXPECT_FALSE(running.error);
      EXPECT_TRUE(running.result);
   }
   for (Outcome& outcome : queued) {
      std::lock_guard<std::mutex> guard(outcome.lock);
      EXPECT_NE(dynamic_cast<Ormid::Fault::RequestCanceled::Exception*>(outcome.error.get()), nullptr);
      EXPECT_FALSE(outcome.result);
   }
   EXPECT_EQ(lease->GetPercentDone(), 0); // the canceled progress never ran

   Ref<ScheduledItem> refused;
   EXPECT_THROW(start(4, {}, nullptr, refused), Ormid::Fault::RequestCanceled::Exception);
   EXPECT_FALSE(refused);
   // Synchronous calls still work.
   EXPECT_EQ(held->GetMode(), "pull");
}

TEST_F(RemoteLoopback, PendingCallKeepsTheAdapterAlive) {
   Outcome outcome;
   Ref<ScheduledItem> item;
   lease->CloseGate();
   StartLease(2, {Ormid::Box(false)}, outcome.Callback(), item);
   lease->AwaitWaiter();
   // Drop every reference the test holds; the pending call still has the adapter.
   stub = nullptr;
   adapter = nullptr;
   lease->OpenGate();
   ASSERT_TRUE(item->WaitFor(kWait));
   std::lock_guard<std::mutex> guard(outcome.lock);
   EXPECT_EQ(Ormid::Unbox<std::string>(outcome.result.GetPtr()), "lease lease-1 for (anonymous)");
}

// The end of the process stops every executor: each started call completes (run or canceled) and the
// workers are joined before the process goes.
std::atomic<int> gCompletedAtExit{0};

TEST(RemoteLoopbackExit, ExitCompletesEveryStartedCall) {
   GTEST_FLAG_SET(death_test_style, "threadsafe");
   EXPECT_EXIT(
       {
          // Registered before the runtime's handler, so it runs after it.
          std::atexit([] { std::fprintf(stderr, "completed %d\n", gCompletedAtExit.load()); });
          static auto* adapter = new Ormid::LoopbackAdapter(1);
          adapter->IncRef(); // kept to the end of the process
          static auto* lease = new RTestImpl::LeaseImpl("lease-x");
          lease->IncRef();
          adapter->Register(lease);
          static auto* stub = adapter->GetStub<RTest::Lease>(lease->_GetRef()).Detach();
          for (int i = 0; i < 20; ++i) {
             Ref<ScheduledItem> item;
             RTestImpl::Start(
                 *stub, gRTestLeaseMethodObjects[0], {Ormid::Box(i)},
                 [](ScheduledItem*, Pellum::Exception*, Ormid::Any*) { ++gCompletedAtExit; }, item);
          }
          std::exit(0);
       },
       ::testing::ExitedWithCode(0), "completed 20");
}

} // namespace
