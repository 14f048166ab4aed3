// Boxed enumeration values and enumeration arrays of the generated enumerations: a box is its own copy and
// refuses to be compared with a value of another class, while arrays compare with anything without
// throwing, and both behave that way when held by a generated data object.
#include <gtest/gtest.h>

#include <string>
#include <typeinfo>
#include <vector>

#include "ormid/Primitive.h"
#include "quorl/TaskInfo.h"
#include "quorl/vm/device/VirtualDisk.h"

namespace {

using Pellum::Ref;
using Quorl::TaskInfo;
using State = Quorl::TaskInfo::State;
using Sharing = Quorl::Vm::Device::VirtualDisk::Sharing;

// Runs `compare` and checks that it raises the type mismatch naming both classes.
template <class F>
void ExpectMismatch(F&& compare, const std::type_info& expected, const std::type_info& actual) {
   try {
      compare();
      ADD_FAILURE() << "no exception";
   } catch (const Pellum::TypeMismatchException& e) {
      EXPECT_EQ(e.GetExpected(), expected) << Pellum::DemangleTypeName(e.GetExpected());
      EXPECT_EQ(e.GetActual(), actual) << Pellum::DemangleTypeName(e.GetActual());
   }
}

TEST(Boxes, EnumerationBoxIsItsOwnCopyAndRefusesOtherClasses) {
   Ref<Ormid::Any> running(new Ormid::Primitive<State>(State::running));
   EXPECT_EQ(running->_GetType(), Ormid::GetEnumType<State>());
   EXPECT_EQ(running->_Clone(), running.GetPtr());
   EXPECT_EQ(running->GetRefCount(), 1); // the clone takes no reference of its own

   // Held by a data object, the box is shared by the object's copy.
   Ref<TaskInfo> task(new TaskInfo());
   task->result = running;
   Ref<TaskInfo> copy(static_cast<TaskInfo*>(task->_Clone()));
   EXPECT_EQ(copy->result.GetPtr(), running.GetPtr());
   EXPECT_EQ(running->GetRefCount(), 3);

   // Same class: compared by ordinal.
   Ref<Ormid::Any> alsoRunning(new Ormid::Primitive<State>(1));
   Ref<Ormid::Any> queued(new Ormid::Primitive<State>(State::queued));
   EXPECT_TRUE(running->_IsEqual(alsoRunning.GetPtr(), false));
   EXPECT_FALSE(running->_IsEqual(queued.GetPtr(), true));
   Ormid::PropertyDiffSet diffs;
   running->_DiffProperties(alsoRunning.GetPtr(), "r", diffs);
   running->_DiffProperties(queued.GetPtr(), "q", diffs);
   EXPECT_EQ(std::vector<std::string>(diffs.begin(), diffs.end()), std::vector<std::string>{"q"});

   // Another enumeration with the same ordinal, an array of the same enumeration, a string box: every
   // direct comparison is a type mismatch (expected class first) and records nothing.
   Ref<Ormid::Any> shared(new Ormid::Primitive<Sharing>(Sharing::sharingMultiWriter));
   Ref<Ormid::Any> array(new Ormid::Array<State>{State::running});
   Ref<Ormid::Any> name = Ormid::Box(std::string("running"));
   for (const Ref<Ormid::Any>& other : {shared, array, name}) {
      const Ormid::Any& otherValue = *other.GetPtr();
      const std::type_info& otherClass = typeid(otherValue);
      SCOPED_TRACE(Pellum::DemangleTypeName(otherClass));
      ExpectMismatch([&] { running->_IsEqual(other.GetPtr(), false); }, typeid(Ormid::Primitive<State>),
                     otherClass);
      ExpectMismatch([&] { running->_IsEqual(other.GetPtr(), true); }, typeid(Ormid::Primitive<State>),
                     otherClass);
      diffs.clear();
      ExpectMismatch([&] { running->_DiffProperties(other.GetPtr(), "p", diffs); },
                     typeid(Ormid::Primitive<State>), otherClass);
      EXPECT_TRUE(diffs.empty());
      // The runtime's comparison checks the classes first: unequal, one difference, no exception.
      EXPECT_FALSE(Ormid::AreEqual(running.GetPtr(), other.GetPtr()));
      EXPECT_EQ(Ormid::DiffProperties(running.GetPtr(), other.GetPtr(), "p").size(), 1u);
   }
   ExpectMismatch([&] { shared->_IsEqual(running.GetPtr(), false); }, typeid(Ormid::Primitive<Sharing>),
                  typeid(Ormid::Primitive<State>));

   // A data object whose any-valued property holds boxes of different classes: unequal, no exception.
   copy->result = shared;
   EXPECT_FALSE(task->_IsEqual(copy.GetPtr(), false));
   diffs.clear();
   EXPECT_NO_THROW(task->_DiffProperties(copy.GetPtr(), "task", diffs));
   EXPECT_TRUE(diffs.Contains("task.result"));
}

TEST(EnumerationArrays, ComparisonsNeverThrow) {
   Ref<Ormid::Array<State>> states(new Ormid::Array<State>{State::queued, State::running});
   ASSERT_EQ(states->GetCollectionLength(), 2);

   std::vector<Ref<Ormid::Any>> unequal;
   unequal.emplace_back(new Ormid::Primitive<State>(State::queued));
   unequal.emplace_back(new Ormid::Array<long>{0, 1});
   unequal.emplace_back(new Ormid::Array<std::string>{"queued", "running"});
   unequal.emplace_back(new Ormid::Array<int>{1, 0});
   unequal.emplace_back(new Ormid::Array<State>{State::queued});
   unequal.emplace_back(new Ormid::DataArray<Ormid::Any>());
   static_cast<Ormid::DataArray<Ormid::Any>*>(unequal.back().GetPtr())->Append(Ormid::Box(0).GetPtr());
   unequal.emplace_back(nullptr);
   for (const Ref<Ormid::Any>& other : unequal) {
      const Ormid::Any* value = other.GetPtr();
      SCOPED_TRACE(value != nullptr ? Pellum::DemangleTypeName(typeid(*value)) : std::string("null"));
      bool equal = true;
      EXPECT_NO_THROW(equal = states->_IsEqual(other.GetPtr(), false));
      EXPECT_FALSE(equal);
      EXPECT_NO_THROW(equal = states->_IsEqual(other.GetPtr(), true));
      EXPECT_FALSE(equal); // the pattern flag does not loosen arrays
      Ormid::PropertyDiffSet diffs;
      EXPECT_NO_THROW(states->_DiffProperties(other.GetPtr(), "states", diffs));
      EXPECT_EQ(std::vector<std::string>(diffs.begin(), diffs.end()), std::vector<std::string>{"states"});
   }

   // Arrays of ordinals compare by value: another enumeration's array or a plain int array alike.
   Ormid::Array<Sharing> sharing{Sharing::sharingNone, Sharing::sharingMultiWriter};
   Ormid::Array<int> ints{0, 1};
   EXPECT_TRUE(states->_IsEqual(&sharing, false));
   EXPECT_TRUE(states->_IsEqual(&ints, false));
   Ormid::PropertyDiffSet none;
   states->_DiffProperties(&ints, "states", none);
   EXPECT_TRUE(none.empty());

   // The copy is a new array whose values are its own.
   Ref<Ormid::Any> clone(states->_Clone());
   auto* copy = dynamic_cast<Ormid::Array<State>*>(clone.GetPtr());
   ASSERT_NE(copy, nullptr);
   EXPECT_NE(copy, states.GetPtr());
   EXPECT_EQ(copy->_values, copy);
   EXPECT_EQ(copy->_GetType(), Ormid::GetEnumType<State>()->GetArrayType());
   EXPECT_TRUE(copy->_IsEqual(states.GetPtr(), false));
   copy->Append(State::error);
   EXPECT_EQ(copy->GetCollectionLength(), 3);
   EXPECT_EQ(copy->GetEnum(2), State::error);
   EXPECT_EQ(states->GetCollectionLength(), 2);
   EXPECT_FALSE(states->_IsEqual(copy, false));

   // Held by an any-valued property, the array is copied with the object; its copy compares equal.
   Ref<TaskInfo> task(new TaskInfo());
   task->result = Ref<Ormid::Any>(states.GetPtr());
   Ref<TaskInfo> taskCopy(static_cast<TaskInfo*>(task->_Clone()));
   auto* held = dynamic_cast<Ormid::Array<State>*>(taskCopy->result.GetPtr());
   ASSERT_NE(held, nullptr);
   EXPECT_NE(held, states.GetPtr());
   EXPECT_EQ(held->_values, held);
   EXPECT_TRUE(task->_IsEqual(taskCopy.GetPtr(), false));
   held->Append(State::success);
   EXPECT_FALSE(task->_IsEqual(taskCopy.GetPtr(), false));
   const Ormid::PropertyDiffSet diffs = Ormid::DiffProperties(task.GetPtr(), taskCopy.GetPtr());
   EXPECT_EQ(std::vector<std::string>(diffs.begin(), diffs.end()), std::vector<std::string>{".result"});
}

} // namespace
