// The runtime's faults and their exceptions. (Every fault of the generated library is made, copied, thrown
// and caught by each of its bases, with the exception classes and throw slots written by the same generator
// as the runtime's, and answers its response code, by the generated fault_catch tests.)

#include <gtest/gtest.h>

#include "test_catalogues.h"

using namespace Ormid;

TEST(Faults, ExceptionsDeriveFromTheirBasesAndHoldTheirFault) {
   // A chain of the runtime's own (no fault of the library derives from InvalidType).
   Pellum::Ref<MethodFault> fault(new Fault::InvalidType("arg"));
   auto throws = [&]() { fault->Throw(); };
   EXPECT_THROW(throws(), Fault::InvalidType::Exception);
   EXPECT_THROW(throws(), Fault::InvalidRequest::Exception);
   EXPECT_THROW(throws(), RuntimeFault::Exception);
   EXPECT_THROW(throws(), Pellum::Throwable);

   // Every copy of an exception holds the fault, and releases it when it goes.
   std::unique_ptr<MethodFault::Exception> created(fault->CreateException());
   std::unique_ptr<Pellum::Exception> clone(created->Clone());
   EXPECT_EQ(fault->GetRefCount(), 3);
   created.reset();
   EXPECT_EQ(fault->GetRefCount(), 2);
   EXPECT_EQ(dynamic_cast<MethodFault::Exception&>(*clone).GetFault(), fault.GetPtr());
   clone.reset();
   EXPECT_EQ(fault->GetRefCount(), 1);
   EXPECT_THROW(MethodFault::Exception(nullptr), Pellum::Exception);
}

TEST(Faults, FaultsAreDataObjectsWithResponseCodes) {
   EXPECT_EQ(MethodFault().GetResponseCode(), Pellum::Http::ResponseCode::InternalServerError);
   EXPECT_EQ(Fault::InvalidArgument().GetResponseCode(), Pellum::Http::ResponseCode::InternalServerError);
   EXPECT_EQ(Fault::SecurityError().GetResponseCode().GetCode(), 403);
   EXPECT_EQ(Fault::ManagedObjectNotFound().GetResponseCode().GetCode(), 404);

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
