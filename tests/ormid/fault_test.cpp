// The runtime's faults and their exceptions: messages, catching by base classes, most-derived copies,
// response codes. (Faults declared by a type library, held through a base pointer and with codes of their
// own, are tested for every fault of the generated library.)

#include <gtest/gtest.h>

#include "test_catalogues.h"

using namespace Ormid;

TEST(Faults, CaughtByEveryBaseClass) {
   Pellum::Ref<MethodFault> fault(new Fault::InvalidType("arg"));
   auto throws = [&]() { fault->Throw(); };
   EXPECT_THROW(throws(), Fault::InvalidType::Exception);
   EXPECT_THROW(throws(), Fault::InvalidRequest::Exception);
   EXPECT_THROW(throws(), RuntimeFault::Exception);
   EXPECT_THROW(throws(), MethodFault::Exception);
   EXPECT_THROW(throws(), Pellum::Exception);
   EXPECT_THROW(throws(), Pellum::Throwable);
   try {
      throws();
   } catch (const Fault::NotSupported::Exception&) {
      ADD_FAILURE() << "caught as another fault";
   } catch (const MethodFault::Exception& e) {
      EXPECT_EQ(e.GetFault(), fault.GetPtr());
      EXPECT_STREQ(e.what(), "Fault cause: kobl.fault.InvalidType\n");
   }
}

TEST(Faults, ExceptionsShareTheFaultAndKeepTheMostDerivedTypeThroughCloneAndRethrow) {
   Pellum::Ref<MethodFault> fault(new Fault::ManagedObjectNotFound(new MoRef("ormidtest.Thing", "gone")));
   std::unique_ptr<MethodFault::Exception> created(fault->CreateException());
   EXPECT_NE(dynamic_cast<Fault::ManagedObjectNotFound::Exception*>(created.get()), nullptr);
   EXPECT_STREQ(created->what(), "Fault cause: kobl.fault.ManagedObjectNotFound\n");
   EXPECT_EQ(fault->GetRefCount(), 2); // the exception holds one

   std::unique_ptr<Pellum::Exception> clone(created->Clone());
   EXPECT_NE(dynamic_cast<Fault::ManagedObjectNotFound::Exception*>(clone.get()), nullptr);
   EXPECT_EQ(fault->GetRefCount(), 3);
   EXPECT_STREQ(clone->what(), created->what());
   created.reset(); // the clone keeps the fault alive
   EXPECT_EQ(fault->GetRefCount(), 2);

   // Rethrowing through the generic base keeps the type.
   const Pellum::Exception& generic = *clone;
   try {
      generic.Throw();
   } catch (const Fault::ManagedObjectNotFound::Exception& e) {
      EXPECT_EQ(e.GetFault(), fault.GetPtr());
   }
   clone.reset();
   EXPECT_EQ(fault->GetRefCount(), 1);
   EXPECT_THROW(MethodFault::Exception(nullptr), Pellum::Exception);
}

TEST(Faults, FaultsAreDataObjectsWithResponseCodes) {
   EXPECT_EQ(MethodFault().GetResponseCode(), Pellum::Http::ResponseCode::InternalServerError);
   EXPECT_EQ(Fault::InvalidArgument().GetResponseCode(), Pellum::Http::ResponseCode::InternalServerError);
   EXPECT_EQ(Fault::SecurityError().GetResponseCode().GetCode(), 403);
   EXPECT_EQ(Fault::ManagedObjectNotFound().GetResponseCode().GetCode(), 404);
   // A generated fault answers its own code (`response NotFound`) or the default, never its base's.
   EXPECT_EQ(&Ormidtest::Fault::Expired().GetResponseCode(), &Pellum::Http::ResponseCode::NotFound);
   EXPECT_EQ(&Ormidtest::Fault::Denied().GetResponseCode(), &Pellum::Http::ResponseCode::InternalServerError);

   Pellum::Ref<Fault::InvalidArgument> fault(new Fault::InvalidArgument("spec.size"));
   fault->faultCause = new Fault::RequestCanceled();
   EXPECT_EQ(fault->_GetType(), GetDoType<Fault::InvalidArgument>());
   EXPECT_EQ(fault->_GetDataType(), GetDoType<Fault::InvalidArgument>());
   // A copy is deep: the cause is copied, not shared.
   Pellum::Ref<Any> copy(fault->_Clone());
   auto* c = static_cast<Fault::InvalidArgument*>(copy.GetPtr());
   EXPECT_NE(c->faultCause.GetPtr(), fault->faultCause.GetPtr());
   EXPECT_EQ(c->invalidProperty.GetValue(), "spec.size");
   EXPECT_TRUE(AreEqual(copy.GetPtr(), fault.GetPtr()));
   // Reflection over inherited and own properties.
   DataObjectType* type = GetDoType<Fault::InvalidArgument>();
   PropertyRef cause = type->FindProperty("faultCause");
   ASSERT_TRUE(cause);
   EXPECT_EQ(cause.owner, GetDoType<MethodFault>());
   EXPECT_TRUE(cause.owner->IsSet(fault.GetPtr(), cause.index));
   Pellum::Ref<Any> notAFault(new KeyAnyValue());
   EXPECT_THROW(cause.owner->SetField(fault.GetPtr(), cause.index, notAFault.GetPtr()),
                Pellum::TypeMismatchException);
   std::string property;
   type->GetField(fault.GetPtr(), 0, &property);
   EXPECT_EQ(property, "spec.size");
}
