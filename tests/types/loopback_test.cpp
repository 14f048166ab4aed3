// The runtime's loopback adapter and client stubs, driven with generated types: arguments and results,
// faults, request contexts, registration, asynchronous calls, shutdown and the end of the process. (Every
// member of every generated type also goes through its stub this way in the conformance tests, with
// sample values.)

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "quorl/HttpNfcLeaseStub.h"
#include "quorl/ManagedEntity.h"
#include "served_objects.h"

namespace {

using Pellum::Ref;
using Pellum::System::ScheduledItem;
using Quorl::HttpNfcLease;
using Served::FaultOf;
using Served::ServedLease;
using Served::ServedPool;

constexpr std::chrono::seconds kWait(20);

class Loopback : public ::testing::Test {
protected:
   void SetUp() override {
      adapter->Register(lease.GetPtr());
      adapter->Register(pool.GetPtr());
      stub = adapter->GetStub<Quorl::HttpNfcLeaseStub>(lease->_GetRef());
   }

   // The stub class, for the asynchronous members.
   Quorl::HttpNfcLeaseStub& Async() { return *stub; }

   Ref<Ormid::LoopbackAdapter> adapter{new Ormid::LoopbackAdapter(2)};
   Ref<ServedLease> lease{new ServedLease("lease-1")};
   Ref<ServedPool> pool{new ServedPool("pool-1")};
   Ref<Quorl::HttpNfcLeaseStub> stub; // a stub class: the interface's members and the asynchronous ones
};

TEST_F(Loopback, StubOfTheReferencesMostDerivedType) {
   EXPECT_NE(dynamic_cast<Quorl::HttpNfcLeaseStub*>(stub.GetPtr()), nullptr);
   EXPECT_EQ(stub->_GetType(), Ormid::GetMoType<HttpNfcLease>());
   EXPECT_TRUE(stub->_GetRef()->Equals(*lease->_GetRef()));
   EXPECT_EQ(dynamic_cast<Ormid::StubImpl&>(*stub)._GetStubAdapter(), adapter.GetPtr());
   // A pool reference gives a pool stub, which is no lease.
   EXPECT_THROW(adapter->GetStub<HttpNfcLease>(pool->_GetRef()), Pellum::TypeMismatchException);
   EXPECT_TRUE(adapter->GetStub<Quorl::ManagedEntity>(pool->_GetRef()));
   // A stub needs a reference and an adapter; a reference to an unregistered type has none.
   EXPECT_THROW(Ormid::GetMoType<HttpNfcLease>()->CreateStub(lease->_GetRef(), nullptr, nullptr),
                Pellum::Exception);
   EXPECT_THROW(Ormid::GetMoType<HttpNfcLease>()->CreateStub(nullptr, adapter.GetPtr(), nullptr),
                Pellum::Exception);
   Ref<Ormid::MoRef> unknown(new Ormid::MoRef("quorl.Unknown", "x"));
   EXPECT_THROW(adapter->GetStub<Quorl::ManagedEntity>(unknown.GetPtr()), Pellum::Exception);
}

TEST_F(Loopback, ArgumentsArriveIntactAndInheritedMembersGoThroughTheBase) {
   Ref<Ormid::DataArray<HttpNfcLease::SourceFile>> files(new Ormid::DataArray<HttpNfcLease::SourceFile>());
   files->Append(new HttpNfcLease::SourceFile());
   Ref<Ormid::DataArray<HttpNfcLease::ProbeResult>> probed;
   stub->ProbeUrls(files.GetPtr(), 30, probed);
   EXPECT_EQ(lease->probeFiles.GetPtr(), files.GetPtr()); // the same objects: values are not copied
   EXPECT_EQ(lease->probeTimeout.GetValue(), 30);
   ASSERT_TRUE(probed);
   EXPECT_EQ(probed->size(), 1u);
   // Nothing of the call is kept: the caller's objects are back to the caller's references.
   lease->probeFiles.Reset();
   EXPECT_EQ(files->GetRefCount(), 1);

   stub->Progress(35);
   EXPECT_EQ(stub->GetTransferProgress(), 35);
   // A member of the base type, on an object of a derived type.
   Ref<Quorl::ResourcePool> poolStub = adapter->GetStub<Quorl::ResourcePool>(pool->_GetRef());
   EXPECT_EQ(poolStub->GetName(), "pool pool-1");
   Ref<Ormid::MoRef> task;
   poolStub->Rename("renamed", task);
   ASSERT_TRUE(task);
   EXPECT_EQ(task->GetId(), "rename-pool-1");
   EXPECT_EQ(pool->NewName(), "renamed");
}

TEST_F(Loopback, FaultsKeepTheirClassAndOtherExceptionsBecomeSystemErrors) {
   EXPECT_TRUE(FaultOf<Quorl::Fault::Timedout>([&] { stub->Progress(-1); }));
   // A fault the method does not declare keeps its class too; a member the object does not serve raises
   // its skeleton's NotSupported.
   EXPECT_THROW(stub->Progress(150), Ormid::Fault::NotSupported::Exception);
   EXPECT_THROW(stub->Complete(), Ormid::Fault::NotSupported::Exception);
   Ref<Ormid::Fault::SystemError> error = FaultOf<Ormid::Fault::SystemError>([&] { stub->Progress(1000); });
   ASSERT_TRUE(error);
   EXPECT_EQ(error->reason, "progress store unavailable");
   EXPECT_EQ(lease->percent, 0);
}

TEST_F(Loopback, UnknownReferenceIsManagedObjectNotFound) {
   Ref<Ormid::MoRef> gone(new Ormid::MoRef(Ormid::GetMoType<HttpNfcLease>(), "lease-9"));
   Ref<HttpNfcLease> orphan = adapter->GetStub<HttpNfcLease>(gone.GetPtr());
   Ref<Ormid::Fault::ManagedObjectNotFound> notFound =
       FaultOf<Ormid::Fault::ManagedObjectNotFound>([&] { orphan->Progress(1); });
   ASSERT_TRUE(notFound && notFound->obj);
   EXPECT_TRUE(notFound->obj->Equals(*gone));
   // Unregistering ends the service.
   EXPECT_TRUE(adapter->Unregister(lease->_GetRef()));
   EXPECT_FALSE(adapter->Unregister(lease->_GetRef()));
   EXPECT_THROW(stub->GetMode(), Ormid::Fault::ManagedObjectNotFound::Exception);
   EXPECT_EQ(adapter->GetObjectCount(), 1u);
}

TEST_F(Loopback, MethodOfAnotherTypeIsNotSupported) {
   Ormid::ArgumentList args = {Ormid::Box(5)};
   Ref<Ormid::Any> result;
   EXPECT_THROW(adapter->Invoke(pool->_GetRef(), gQuorlHttpNfcLeaseMethodObjects[4], args, result, nullptr),
                Ormid::Fault::NotSupported::Exception);
   // The stub checks the argument count before anything leaves it.
   auto& impl = dynamic_cast<Ormid::StubImpl&>(*stub);
   args.clear();
   EXPECT_THROW(impl._Invoke_Task(gQuorlHttpNfcLeaseMethodObjects[4], args), Pellum::Exception);
   EXPECT_THROW(impl._Invoke_Task(nullptr, args), Pellum::Exception);
   EXPECT_EQ(lease->calls, 0);
}

TEST_F(Loopback, RegistrationIsChecked) {
   EXPECT_THROW(adapter->Register(lease.GetPtr()), Pellum::Exception); // already served
   EXPECT_THROW(adapter->Register(nullptr), Pellum::Exception);
   // A pool cannot serve a lease reference; it can serve a reference of its base type.
   Ref<Ormid::MoRef> leaseRef(new Ormid::MoRef(Ormid::GetMoType<HttpNfcLease>(), "lease-5"));
   EXPECT_THROW(adapter->Register(leaseRef.GetPtr(), pool.GetPtr()), Pellum::Exception);
   Ref<Ormid::MoRef> entityRef(new Ormid::MoRef(Ormid::GetMoType<Quorl::ManagedEntity>(), "entity-5"));
   adapter->Register(entityRef.GetPtr(), pool.GetPtr());
   EXPECT_EQ(adapter->Find(entityRef.GetPtr()).GetPtr(), static_cast<Ormid::ManagedObject*>(pool.GetPtr()));
   EXPECT_EQ(adapter->GetStub<Quorl::ManagedEntity>(entityRef.GetPtr())->GetName(), "pool pool-1");
}

TEST_F(Loopback, RequestContextTravelsWithTheCall) {
   Ref<Ormid::RequestContext> context(new Ormid::RequestContext());
   context->Set("user", Ormid::Box(std::string("alice")).GetPtr());
   Ref<HttpNfcLease> withContext = adapter->GetStub<HttpNfcLease>(lease->_GetRef(), context.GetPtr());
   EXPECT_EQ(withContext->GetMode(), "lease lease-1 for alice");
   // The serving side saw a copy, current only during the call.
   Ref<Ormid::RequestContext> seen = lease->SeenContext();
   ASSERT_TRUE(seen);
   EXPECT_NE(seen.GetPtr(), context.GetPtr());
   EXPECT_EQ(Ormid::RequestContext::GetCurrent(), nullptr);

   // Replacing the stub's context changes later calls.
   Ref<Ormid::RequestContext> bob(new Ormid::RequestContext(*context));
   bob->Set("user", Ormid::Box(std::string("bob")).GetPtr());
   dynamic_cast<Ormid::StubImpl&>(*withContext)._SetRequestContext(bob.GetPtr());
   EXPECT_EQ(withContext->GetMode(), "lease lease-1 for bob");
   EXPECT_EQ(Ormid::Unbox<std::string>(context->Get("user").GetPtr()), "alice");

   // Without a context the implementation still finds an (empty) one.
   EXPECT_EQ(stub->GetMode(), "lease lease-1 for (anonymous)");
   ASSERT_TRUE(lease->SeenContext());
   EXPECT_EQ(lease->SeenContext()->size(), 0u);
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

TEST_F(Loopback, AsynchronousCallReportsTheResult) {
   Outcome outcome;
   Ref<ScheduledItem> item;
   lease->CloseGate();
   Async().GetMode(outcome.Callback(), item);
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
   EXPECT_NE(item->GetDescription().find("quorl.HttpNfcLease.mode"), std::string::npos);
   EXPECT_GE(adapter->GetThreadCount(), 1u);
   EXPECT_LE(adapter->GetThreadCount(), 2u);
}

TEST_F(Loopback, AsynchronousFaultsRethrowAsTheirOwnClass) {
   // A fault of the implementation, an unknown target and a plain exception: each reaches the callback as
   // an exception that rethrows with its own class.
   Ref<Ormid::MoRef> gone(new Ormid::MoRef(Ormid::GetMoType<HttpNfcLease>(), "lease-9"));
   Ref<HttpNfcLease> orphan = adapter->GetStub<HttpNfcLease>(gone.GetPtr());
   Outcome timedout, missing, broken;
   Ref<ScheduledItem> items[3];
   Async().Progress(-5, timedout.Callback(), items[0]);
   dynamic_cast<Quorl::HttpNfcLeaseStub&>(*orphan).GetMode(missing.Callback(), items[1]);
   Async().Progress(1000, broken.Callback(), items[2]);
   for (Ref<ScheduledItem>& item : items) {
      ASSERT_TRUE(item->WaitFor(kWait));
   }
   std::lock_guard<std::mutex> g1(timedout.lock), g2(missing.lock), g3(broken.lock);
   for (Outcome* o : {&timedout, &missing, &broken}) {
      ASSERT_TRUE(o->error);
      EXPECT_FALSE(o->result);
   }
   EXPECT_THROW(timedout.error->Throw(), Quorl::Fault::Timedout::Exception);
   EXPECT_THROW(missing.error->Throw(), Ormid::Fault::ManagedObjectNotFound::Exception);
   auto* systemError = dynamic_cast<Ormid::Fault::SystemError::Exception*>(broken.error.get());
   ASSERT_NE(systemError, nullptr);
   EXPECT_EQ(dynamic_cast<Ormid::Fault::SystemError*>(systemError->GetFault())->reason,
             "progress store unavailable");
}

TEST_F(Loopback, AsynchronousCallCarriesTheContextOfItsStart) {
   Ref<Ormid::RequestContext> context(new Ormid::RequestContext());
   context->Set("user", Ormid::Box(std::string("carol")).GetPtr());
   dynamic_cast<Ormid::StubImpl&>(*stub)._SetRequestContext(context.GetPtr());
   Outcome outcome;
   Ref<ScheduledItem> item;
   lease->CloseGate();
   Async().GetMode(outcome.Callback(), item);
   // Changing the caller's context after the start does not reach the call.
   context->Set("user", Ormid::Box(std::string("mallory")).GetPtr());
   lease->OpenGate();
   ASSERT_TRUE(item->WaitFor(kWait));
   std::lock_guard<std::mutex> guard(outcome.lock);
   EXPECT_EQ(Ormid::Unbox<std::string>(outcome.result.GetPtr()), "lease lease-1 for carol");
}

TEST_F(Loopback, ThrowingCallbackStillCompletesTheItem) {
   Ref<ScheduledItem> item;
   Async().GetMode([](ScheduledItem*, Pellum::Exception*, Ormid::Any*) { throw std::runtime_error("oops"); },
                   item);
   EXPECT_TRUE(item->WaitFor(kWait));
   // And an empty callback is allowed.
   Async().Progress(12, Ormid::CompletionFn(), item);
   ASSERT_TRUE(item->WaitFor(kWait));
   EXPECT_EQ(stub->GetTransferProgress(), 12);
}

TEST_F(Loopback, ShutdownCancelsQueuedCallsAndRefusesNewOnes) {
   Ref<Ormid::LoopbackAdapter> single(new Ormid::LoopbackAdapter(1));
   single->Register(lease.GetPtr());
   Ref<HttpNfcLease> held = single->GetStub<HttpNfcLease>(lease->_GetRef());
   auto& singleStub = dynamic_cast<Quorl::HttpNfcLeaseStub&>(*held);

   lease->CloseGate();
   Outcome running;
   Outcome queued[2];
   Ref<ScheduledItem> runningItem;
   Ref<ScheduledItem> queuedItems[2];
   singleStub.GetMode(running.Callback(), runningItem);
   lease->AwaitWaiter(); // the only worker is busy now
   singleStub.Progress(20, queued[0].Callback(), queuedItems[0]);
   singleStub.GetTransferProgress(queued[1].Callback(), queuedItems[1]);

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
   EXPECT_EQ(lease->percent, 0); // the canceled progress never ran

   Ref<ScheduledItem> refused;
   EXPECT_THROW(singleStub.GetMode(Ormid::CompletionFn(), refused), Ormid::Fault::RequestCanceled::Exception);
   EXPECT_FALSE(refused);
   // Synchronous calls still work.
   EXPECT_EQ(singleStub.GetTransferProgress(), 0);
}

TEST_F(Loopback, PendingCallKeepsTheAdapterAlive) {
   Outcome outcome;
   Ref<ScheduledItem> item;
   lease->CloseGate();
   Async().GetMode(outcome.Callback(), item);
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
          static auto* lease = new ServedLease("lease-x");
          lease->IncRef();
          adapter->Register(lease);
          static auto* stub = adapter->GetStub<HttpNfcLease>(lease->_GetRef()).Detach();
          for (int i = 0; i < 20; ++i) {
             Ref<ScheduledItem> item;
             dynamic_cast<Quorl::HttpNfcLeaseStub&>(*stub).Progress(
                 i, [](ScheduledItem*, Pellum::Exception*, Ormid::Any*) { ++gCompletedAtExit; }, item);
          }
          std::exit(0);
       },
       ::testing::ExitedWithCode(0), "completed 20");
}

} // namespace
