// Values of the runtime: boxes, arrays, managed-object references, copies, equality and difference of nested
// values, the runtime's faults, reflection through a type's descriptor and rendering. Checked elsewhere for
// every generated class: equality agreeing with the difference, the order of the paths, and the copies, type
// lookups and accessors the generator writes for the runtime's classes too (tests/types); every property
// through its descriptor, rendered and, when secret, masked (the conformance test); every fault made, copied,
// thrown and caught by each of its bases (the generated fault_catch tests).

#include <gtest/gtest.h>

#include "test_catalogues.h"

using namespace Ormid;
using Ormidtest::Color;
using Ormidtest::Part;

namespace {

Part* MakePart(const char* key, int weight = -1) {
   Part* p = new Part();
   p->key = key;
   if (weight >= 0) {
      p->weight = weight;
   }
   return p;
}

// An array of parts given as (key, weight); a negative weight is unset.
DataArray<Part>* Parts(std::initializer_list<std::pair<const char*, int>> parts) {
   auto* array = new DataArray<Part>();
   for (const auto& [key, weight] : parts) {
      array->Append(Pellum::Ref<Part>(MakePart(key, weight)));
   }
   return array;
}

// The paths of a difference, separated by spaces.
std::string Paths(const PropertyDiffSet& d) {
   std::string out;
   for (const std::string& path : d) {
      out += (out.empty() ? "" : " ") + path;
   }
   return out;
}

} // namespace

TEST(Values, BoxesAreImmutableAndShared) {
   Pellum::Ref<Any> five = Box(5);
   EXPECT_EQ(five->_Clone(), five.GetPtr());
   EXPECT_EQ(five->_GetType(), GetNoType<int>());
   EXPECT_EQ(Unbox<int>(five.GetPtr()), 5);
   EXPECT_EQ(Unbox<std::string>(Box("text").GetPtr()), "text");
   Pellum::Ref<Any> blue(new Primitive<Color>(Color::blue));
   EXPECT_EQ(blue->_Clone(), blue.GetPtr());
   EXPECT_EQ(blue->_GetType(), GetEnumType<Color>());

   for (int i = 0; i < 2; ++i) { // the shared booleans are never allocated anew and survive every release
      EXPECT_EQ(Box(true).GetPtr(), Primitive<bool>::Factory::sTrue);
      EXPECT_EQ(Box(false).GetPtr(), Primitive<bool>::Factory::sFalse);
   }
   EXPECT_TRUE(Primitive<bool>::Factory::sTrue->GetValue());

   EXPECT_TRUE(five->_IsEqual(Box(5).GetPtr(), false));
   EXPECT_FALSE(five->_IsEqual(Box(6).GetPtr(), false));
   EXPECT_THROW(five->_IsEqual(Box(5L).GetPtr(), false), Pellum::TypeMismatchException);
   // An enumeration box against a box of its ordinal, an array of its enumeration or a string: every
   // direct comparison is a type mismatch (expected class first) and records nothing, while the runtime's
   // comparison checks the classes first (unequal, one difference, no exception).
   const Pellum::Ref<Any> others[] = {Box(2), Pellum::Ref<Any>(new Array<Color>{Color::blue}), Box("blue")};
   for (const Pellum::Ref<Any>& other : others) {
      const Any& otherValue = *other;
      SCOPED_TRACE(Pellum::DemangleTypeName(typeid(otherValue)));
      for (bool pattern : {false, true}) {
         try {
            blue->_IsEqual(other.GetPtr(), pattern);
            ADD_FAILURE();
         } catch (const Pellum::TypeMismatchException& e) {
            EXPECT_EQ(e.GetExpected(), typeid(Primitive<Color>));
            EXPECT_EQ(e.GetActual(), typeid(otherValue));
         }
      }
      PropertyDiffSet none;
      EXPECT_THROW(blue->_DiffProperties(other.GetPtr(), "p", none), Pellum::TypeMismatchException);
      EXPECT_TRUE(none.empty());
      EXPECT_FALSE(AreEqual(blue.GetPtr(), other.GetPtr()));
      EXPECT_EQ(DiffProperties(blue.GetPtr(), other.GetPtr(), "p").size(), 1u);
   }
   EXPECT_THROW(Unbox<long>(five.GetPtr()), Pellum::TypeMismatchException);
   EXPECT_THROW(Unbox<int>(nullptr), Pellum::Exception);
   PropertyDiffSet diffs;
   five->_DiffProperties(Box(6).GetPtr(), "p", diffs);
   five->_DiffProperties(Box(5).GetPtr(), "q", diffs);
   EXPECT_EQ(Paths(diffs), "p");
   // Date-times compare by their UTC count, not their offset.
   Pellum::Ref<Any> d1 = Box(Pellum::System::DateTime::FromUtcTime(1000, 0));
   Pellum::Ref<Any> d2 = Box(Pellum::System::DateTime::FromUtcTime(1000, 120));
   EXPECT_TRUE(d1->_IsEqual(d2.GetPtr(), false));
}

TEST(Values, ArraysCompareByClassAndValuesAndNeverThrow) {
   // Enumeration arrays compare with plain int arrays by their ordinals; through the runtime's comparison the
   // classes must agree.
   Pellum::Ref<Array<Color>> colors(new Array<Color>{Color::red, Color::blue});
   Array<int> ints{0, 2};
   EXPECT_EQ(colors->_GetType(), GetEnumType<Color>()->GetArrayType());
   EXPECT_TRUE(colors->_IsEqual(&ints, false));
   EXPECT_TRUE(ints._IsEqual(colors.GetPtr(), false));
   EXPECT_FALSE(AreEqualAnysInt(colors.GetPtr(), &ints, 3, false));

   // Every row is unequal, also with the pattern flag (which does not loosen arrays), and differs at the
   // array's own path.
   Pellum::Ref<Array<int>> oneTwoThree(new Array<int>{1, 2, 3});
   // A NaN makes an array unequal to its own copy.
   Pellum::Ref<Array<double>> nan(new Array<double>{1.0, std::numeric_limits<double>::quiet_NaN()});
   Pellum::Ref<Any> nanCopy(nan->_Clone());
   EXPECT_NE(nanCopy.GetPtr(), nan.GetPtr());
   EXPECT_EQ(static_cast<ArrayBase*>(nanCopy.GetPtr())->GetCollectionLength(), 2);
   const std::pair<Any*, Pellum::Ref<Any>> unequal[] = {
       {oneTwoThree.GetPtr(), Pellum::Ref<Any>(new Array<int>{3, 2, 1})},
       {oneTwoThree.GetPtr(), Pellum::Ref<Any>(new Array<long>{1, 2, 3})},
       {oneTwoThree.GetPtr(), nullptr},
       {nan.GetPtr(), nanCopy},
       {colors.GetPtr(), Pellum::Ref<Any>(new Primitive<Color>(Color::red))},
       {colors.GetPtr(), Pellum::Ref<Any>(new Array<long>{0, 2})},
       {colors.GetPtr(), Pellum::Ref<Any>(new Array<std::string>{"red", "blue"})},
       {colors.GetPtr(), Pellum::Ref<Any>(new Array<int>{2, 0})},
       {colors.GetPtr(), Pellum::Ref<Any>(new Array<Color>{Color::red})},
       {colors.GetPtr(), Pellum::Ref<Any>(new DataArray<Any>{Box(0).GetPtr()})},
       {colors.GetPtr(), nullptr},
   };
   for (const auto& [array, other] : unequal) {
      SCOPED_TRACE(array->ToString() + " against " + (other ? other->ToString() : std::string("null")));
      for (bool pattern : {false, true}) {
         bool equal = true;
         EXPECT_NO_THROW(equal = array->_IsEqual(other.GetPtr(), pattern));
         EXPECT_FALSE(equal);
      }
      PropertyDiffSet diffs;
      EXPECT_NO_THROW(array->_DiffProperties(other.GetPtr(), "p", diffs));
      EXPECT_EQ(Paths(diffs), "p");
   }

   // A copy of an enumeration array is a new array whose values are its own.
   Pellum::Ref<Any> clone(colors->_Clone());
   auto* copy = dynamic_cast<Array<Color>*>(clone.GetPtr());
   ASSERT_NE(copy, nullptr);
   EXPECT_EQ(copy->_values, copy);
   copy->Append(Color::green);
   EXPECT_EQ(colors->GetCollectionLength(), 2);
   EXPECT_EQ(copy->GetCollectionLength(), 3);

   Array<bool> flags{true, false, true};
   static_assert(sizeof(*flags.begin()) == 1);
   flags[1] = true;
   EXPECT_TRUE(flags.At(1));
   EXPECT_THROW(flags.At(3), Pellum::Exception);
   EXPECT_EQ(flags._GetType(), GetNoType<bool>()->GetArrayType());
   EXPECT_STREQ(flags._GetType()->GetName(), "boolean[]");
}

TEST(Values, DataArrayCloneSharesReferencesAndCopiesDataObjects) {
   Pellum::Ref<MoRef> r1(new MoRef("ormidtest.Thing", "1"));
   Pellum::Ref<MoRef> r2(new MoRef("ormidtest.Thing", "2"));
   Pellum::Ref<DataArray<MoRef>> refs(new DataArray<MoRef>{r1.GetPtr(), r2.GetPtr()});
   EXPECT_EQ(r1->GetRefCount(), 2);
   {
      Pellum::Ref<Any> clone(refs->_Clone());
      auto* c = static_cast<DataArray<MoRef>*>(clone.GetPtr());
      EXPECT_NE(c, refs.GetPtr());
      EXPECT_EQ(c->Get(0), r1.GetPtr());
      EXPECT_EQ(c->Get(1), r2.GetPtr());
      EXPECT_EQ(r1->GetRefCount(), 3);
      EXPECT_EQ(r2->GetRefCount(), 3);
      EXPECT_EQ(clone->_GetType(), GetNoType<MoRef>()->GetArrayType());
   }
   EXPECT_EQ(r1->GetRefCount(), 2);

   Pellum::Ref<Part> part(MakePart("p"));
   DataArray<Part> parts{part.GetPtr()};
   Pellum::Ref<Any> clone(parts._Clone());
   Part* copied = static_cast<DataArray<Part>*>(clone.GetPtr())->Get(0);
   EXPECT_NE(copied, part.GetPtr());
   EXPECT_EQ(copied->key, "p");
   EXPECT_EQ(part->GetRefCount(), 2);
   EXPECT_TRUE(parts._IsEqual(clone.GetPtr(), false));

   // Elements are never null and are narrowed when added generically.
   EXPECT_THROW(parts.Append(static_cast<Part*>(nullptr)), Pellum::Exception);
   Pellum::Ref<Any> wrong(new KeyAnyValue());
   EXPECT_THROW(parts.AppendAny(wrong.GetPtr()), Pellum::TypeMismatchException);
   parts.AppendAny(new Ormidtest::SubPart());
   EXPECT_EQ(parts.size(), 2u);
   EXPECT_THROW(parts.GetAny(2), Pellum::Exception);
}

TEST(Values, ManagedObjectReferences) {
   Pellum::Ref<MoRef> ref = MoRef::Parse("ormidtest.Thing:vm-42:x");
   EXPECT_EQ(ref->GetTypeName(), "ormidtest.Thing");
   EXPECT_EQ(ref->GetId(), "vm-42:x");
   EXPECT_EQ(ref->ToString(), "ormidtest.Thing:vm-42:x");
   EXPECT_EQ(ref->_Clone(), ref.GetPtr());
   EXPECT_EQ(ref->_GetType(), GetNoType<MoRef>());
   EXPECT_EQ(ref->GetManagedType(), nullptr); // no such managed type is registered
   MoRef same("ormidtest.Thing", "vm-42:x");
   EXPECT_TRUE(ref->_IsEqual(&same, false));
   EXPECT_EQ(ref->Hash(), same.Hash());
   EXPECT_TRUE(MoRef::EqualTo()(ref.GetPtr(), &same));
   EXPECT_FALSE(ref->_IsEqual(Box(1).GetPtr(), false));
   MoRef collector(TypeRegistry::Get().FindByName("kobl.query.PropertyCollector"), "pc");
   EXPECT_EQ(collector.GetManagedType(),
             TypeRegistry::Get().FindByHeader(&gKoblQueryPropertyCollectorTypeInfo));
   for (const char* bad : {"no-colon", ":id", "type:"}) {
      EXPECT_THROW(MoRef::Parse(bad), Pellum::Exception) << bad;
   }
   EXPECT_THROW(MoRef("", "id"), Pellum::Exception);
   EXPECT_THROW(MoRef(GetNoType<int>(), "id"), Pellum::Exception);
}

TEST(Values, CopiesRefuseAValueThatHoldsItself) {
   Pellum::Ref<MethodFault> fault(new MethodFault());
   Pellum::Ref<LocalizableMessage> message(new LocalizableMessage("k", "m"));
   Pellum::Ref<KeyAnyValue> arg(new KeyAnyValue("a", nullptr));
   message->arg = new DataArray<KeyAnyValue>{arg.GetPtr()};
   Pellum::Ref<DataArray<Any>> list(new DataArray<Any>());
   // Each row closes a cycle (true) or breaks it again (false) so that the values can be freed.
   const struct {
      const char* name;
      Any* root;
      std::function<void(bool)> close;
   } cycles[] = {
       {"a message through an argument", message.GetPtr(),
        [&](bool on) { on ? arg->value.Reset(message.GetPtr()) : arg->value.Reset(); }},
       {"an array holding itself", list.GetPtr(),
        [&](bool on) { on ? list->Append(list.GetPtr()) : list->Clear(); }},
   };
   for (const auto& c : cycles) {
      c.close(true);
      try {
         Pellum::Ref<Any> copy(c.root->_Clone());
         ADD_FAILURE() << c.name << " was copied";
      } catch (const Pellum::Exception& e) {
         EXPECT_NE(std::string(e.what()).find("holds itself"), std::string::npos)
             << c.name << ": " << e.what();
      }
      c.close(false);
      Pellum::Ref<Any> copy(c.root->_Clone());
      EXPECT_TRUE(AreEqual(c.root, copy.GetPtr())) << c.name;
   }
   // A value held twice is shared, not a cycle: both places get their own copy.
   fault->faultMessage = new DataArray<LocalizableMessage>{message.GetPtr(), message.GetPtr()};
   Pellum::Ref<MethodFault> copy(static_cast<MethodFault*>(fault->_Clone()));
   EXPECT_TRUE(AreEqual(fault.GetPtr(), copy.GetPtr()));
}

// Each row compares a property value `a` with `b` as its own value and as a pattern, and lists the paths of
// the difference, which is empty exactly when the values are equal.
TEST(Equality, EqualityPatternAndDifferenceAgree) {
   std::vector<Pellum::Ref<Any>> held;
   auto keep = [&held](auto value) -> Any* { // a new value or a Ref
      held.emplace_back(value);
      return held.back().GetPtr();
   };
   Any* part = keep(MakePart("a"));
   auto* sub = new Ormidtest::SubPart();
   sub->key = "a";
   keep(sub);
   auto* nan = new Ormidtest::SubPart();
   nan->depth = std::numeric_limits<double>::quiet_NaN();
   keep(nan);
   Any* empty = keep(new DataArray<Part>());
   Any* emptyInts = keep(new Array<int>());
   Any* owner = keep(new MoRef("ormidtest.Thing", "1"));
   Any* threeParts = keep(Parts({{"p0", 1}, {"p1", 1}, {"p2", 1}}));
   const char* none = "";
   const char* whole = "x.p";

   const struct {
      const char* what;
      const Any* a;
      const Any* b;
      bool equal;
      bool matches; // as a pattern
      const char* paths;
   } rows[] = {
       {"both null", nullptr, nullptr, true, true, none},
       {"the same object", part, part, true, true, none},
       // The pattern's unset property matches anything, never the reverse.
       {"a value against null", part, nullptr, false, true, whole},
       {"null against a value", nullptr, part, false, false, whole},
       // An unset array equals an empty one, either way round; as a pattern, an empty array stands for an
       // unset property.
       {"null against an empty array", nullptr, empty, true, true, none},
       {"an empty array against null", empty, nullptr, true, true, none},
       {"empty ints against null", emptyInts, nullptr, true, true, none},
       {"parts against no parts", keep(new DataArray<Part>{MakePart("a")}), empty, false, true, whole},
       {"no parts against parts", empty, keep(new DataArray<Part>{MakePart("a")}), false, false, whole},
       // Different dynamic types differ, without an exception, whatever their contents.
       {"a part against a subpart", part, sub, false, false, whole},
       {"a subpart against a part", sub, part, false, false, whole},
       {"boxed int against boxed long", keep(Box(1)), keep(Box(1L)), false, false, whole},
       {"empty arrays of other classes", emptyInts, keep(new Array<std::string>()), false, true, whole},
       // References compare by value, not by address; plain arrays and boxes report their own path.
       {"an equal reference", owner, keep(new MoRef("ormidtest.Thing", "1")), true, true, none},
       {"another reference", owner, keep(new MoRef("ormidtest.Thing", "2")), false, false, whole},
       {"other boxed strings", keep(Box(std::string("same"))), keep(Box(std::string("other"))), false, false,
        whole},
       {"other string arrays", keep(new Array<std::string>{"x"}), keep(new Array<std::string>{"y"}), false,
        false, whole},
       // NaN matches nothing, not even its own copy.
       {"NaN against its copy", nan, keep(nan->_Clone()), false, false, "x.p.depth"},
       // Data arrays: per-element paths; the pattern flag passes through to the elements.
       {"equal part arrays", threeParts, keep(Parts({{"p0", 1}, {"p1", 1}, {"p2", 1}})), true, true, none},
       {"changed elements", threeParts, keep(Parts({{"p0", 1}, {"p1", 2}, {"other", 1}})), false, false,
        "x.p[1].weight x.p[2].key"},
       {"an element with an unset weight", threeParts, keep(Parts({{"p0", 1}, {"p1", -1}, {"p2", 1}})), false,
        true, "x.p[1].weight"},
       {"another length", threeParts, keep(Parts({{"p1", 1}, {"p2", 1}})), false, false, whole},
       {"another order", keep(Parts({{"1", -1}, {"2", -1}})), keep(Parts({{"2", -1}, {"1", -1}})), false,
        false, "x.p[0].key x.p[1].key"},
   };
   for (const auto& row : rows) {
      SCOPED_TRACE(row.what);
      EXPECT_EQ(AreEqualAnysInt(row.a, row.b, 0, false), row.equal);
      EXPECT_EQ(AreEqualAnysInt(row.a, row.b, 0, true), row.matches);
      PropertyDiffSet diffs;
      DiffAnyPropertiesInt(row.a, row.b, "x", ".p", 0, diffs);
      EXPECT_EQ(Paths(diffs), row.paths);
   }
   EXPECT_FALSE(nan->_IsEqual(nan, true));
}

TEST(Equality, PropertyPathOrdering) {
   EXPECT_EQ(PropertyPath::Compare(PropertyPath("a.b"), PropertyPath("a.b")), 0);
   EXPECT_LT(PropertyPath::Compare("a", "a.b"), 0);
   EXPECT_GT(PropertyPath::Compare("a.c", "a.b.z"), 0);
   // Component-wise: "a" < "a-c" although '.' sorts after '-' bytewise.
   EXPECT_LT(PropertyPath::Compare("a.b", "a-c"), 0);
   EXPECT_GT(std::string("a.b").compare("a-c"), 0);
   EXPECT_TRUE(PropertyPath("config.hardware.device").StartsWithPath("config.hardware"));
   EXPECT_FALSE(PropertyPath("config.hardwareX").StartsWithPath("config.hardware"));
   EXPECT_TRUE(PropertyPath("device[4000].key").StartsWithPath("device[4000]"));
}

TEST(Faults, ExceptionsDeriveFromTheirBasesHoldTheirFaultAndFaultsAnswerTheirCodes) {
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

   EXPECT_EQ(MethodFault().GetResponseCode(), Pellum::Http::ResponseCode::InternalServerError);
   EXPECT_EQ(Fault::InvalidArgument().GetResponseCode(), Pellum::Http::ResponseCode::InternalServerError);
   EXPECT_EQ(Fault::SecurityError().GetResponseCode().GetCode(), 403);
   EXPECT_EQ(Fault::ManagedObjectNotFound().GetResponseCode().GetCode(), 404);
}

TEST(Accessors, OptionalFieldsKeepTheirValueWhenReset) {
   DataObjectType* t = GetDoType<Part>();
   Pellum::Ref<Part> p(new Part());
   int weight = 7;
   t->SetField(p.GetPtr(), 1, &weight);
   t->Reset(p.GetPtr(), 1);
   EXPECT_EQ(t->GetFieldPtr(p.GetPtr(), 1), nullptr);
   weight = -1;
   t->GetField(p.GetPtr(), 1, &weight); // the stored value, set or not
   EXPECT_EQ(weight, 7);
   Pellum::Optional<int> io(99);
   t->SwapField(p.GetPtr(), 1, &io);
   EXPECT_EQ(p->weight.GetValue(), 99);
   EXPECT_FALSE(io.IsSet());
   EXPECT_EQ(io.GetStored(), 7);
}

TEST(Accessors, CheckedWrappersRefuseBadCalls) {
   DataObjectType* t = GetDoType<Part>();
   Pellum::Ref<Part> part(new Part());
   Pellum::Ref<KeyAnyValue> other(new KeyAnyValue());
   std::string key = "k";
   EXPECT_THROW(t->GetField(part.GetPtr(), 2, &key), Pellum::Exception);
   EXPECT_THROW(t->GetField(part.GetPtr(), -1, &key), Pellum::Exception);
   EXPECT_THROW(t->IsSet(nullptr, 0), Pellum::Exception);
   EXPECT_THROW(t->GetField(other.GetPtr(), 0, &key), Pellum::Exception); // an object of another type
   EXPECT_THROW(t->Reset(part.GetPtr(), 0), Pellum::Exception);           // a required value
   EXPECT_EQ(key, "k");
   // A type without own properties has no value accessors; a derived object is accepted by its base type,
   // never the reverse.
   Pellum::Ref<Ormidtest::SubPart> sub(new Ormidtest::SubPart());
   t->SetField(sub.GetPtr(), 0, &key);
   EXPECT_EQ(sub->key, "k");
   EXPECT_THROW(GetDoType<RuntimeFault>()->GetFieldPtr(sub.GetPtr(), 0), Pellum::Exception);
   EXPECT_THROW(GetDoType<Ormidtest::SubPart>()->GetFieldPtr(part.GetPtr(), 0), Pellum::Exception);
   EXPECT_TRUE(GetDoType<Ormidtest::SubPart>()->IsSet(sub.GetPtr(), 0)); // the shared always-true isSet
   // The storage kind of every property of the test namespace is checked by its conformance test; a record
   // without a type has none.
   const PropertyRecord none{nullptr, 0, "x", nullptr, "v"};
   EXPECT_THROW(GetFieldKind(none), Pellum::Exception);
}

// The typed layer on binary, the one storage kind the library's schema has no data property of.
TEST(Accessors, TypedBinaryIsAnOptionalOfBytes) {
   using Bytes = std::vector<unsigned char>;
   const Property blob(*GetDoType<Ormidtest::Sample>(), "blob");
   EXPECT_TRUE(blob.Takes<Pellum::Optional<Bytes>>());
   Pellum::Ref<Ormidtest::Sample> s(new Ormidtest::Sample());
   blob.Set(s.GetPtr(), Pellum::Optional<Bytes>(Bytes{0xde, 0xad}));
   EXPECT_EQ(s->blob.GetValue(), (Bytes{0xde, 0xad}));
   EXPECT_THROW(blob.Set(s.GetPtr(), Bytes{1}), Pellum::TypeMismatchException);
   EXPECT_THROW(blob.Get<std::string>(s.GetPtr()), Pellum::TypeMismatchException);
   EXPECT_EQ(blob.Get<Pellum::Optional<Bytes>>(s.GetPtr()).GetValue(), (Bytes{0xde, 0xad}))
       << "a refusal changes nothing";
   blob.Reset(s.GetPtr());
   EXPECT_FALSE(blob.IsSet(s.GetPtr()));
}

TEST(ToString, NestedValuesArraysReferencesAndBoxes) {
   Pellum::Ref<Ormidtest::SubPart> part(new Ormidtest::SubPart());
   part->weight = 3;
   part->depth = 0.5;
   Pellum::Ref<DataArray<KeyAnyValue>> args(
       new DataArray<KeyAnyValue>{new KeyAnyValue("part", part.GetPtr())});
   EXPECT_EQ(args->ToString(), "(kobl.KeyAnyValue[]) [\n"
                               "   (kobl.KeyAnyValue) {\n"
                               "      key = \"part\",\n"
                               "      value = (ormidtest.SubPart) {\n"
                               "         key = \"\",\n"
                               "         weight = 3,\n"
                               "         depth = 0.5\n"
                               "      }\n"
                               "   }\n"
                               "]");
}

TEST(ToString, ValuesOfEveryShapeAndSecrets) {
   Pellum::Ref<Any> ticket = Box(std::string("ticket-123"));
   const std::pair<std::string, const char*> rows[] = {
       {ToString(nullptr), "<unset>"},
       // A value passed with secret flags (a parameter, say) is masked whole; without them it shows.
       {ToString(ticket.GetPtr(), PropertyFlags::Secret | PropertyFlags::Optional), "********"},
       {ToString(ticket.GetPtr(), 0), "(string) \"ticket-123\""},
       {ToString(nullptr, PropertyFlags::Secret), "<unset>"},
       {DynamicData().ToString(), "(kobl.DynamicData) {}"},
       {Pellum::Ref<Any>(new Primitive<Color>(Color::red))->ToString(), "(ormidtest.Color) red"},
       {Array<int>{1, 2}.ToString(), "(int[]) [\n   1,\n   2\n]"},
       {Array<std::string>().ToString(), "(string[]) []"},
       {Box(7)->ToString(), "(int) 7"},
       {Box(std::string("line \"one\"\n"))->ToString(), "(string) \"line \\\"one\\\"\\n\""},
       {Box(std::vector<unsigned char>{0xde, 0xad})->ToString(), "(binary) <2 bytes:dead>"},
       {Array<Color>{Color::green}.ToString(), "(ormidtest.Color[]) [\n   green\n]"},
       {Fault::ManagedObjectNotFound(new MoRef("ormidtest.Thing", "t-1")).ToString(),
        "(kobl.fault.ManagedObjectNotFound) {\n   obj = ormidtest.Thing:t-1\n}"},
   };
   for (const auto& [text, expected] : rows) {
      EXPECT_EQ(text, expected) << expected;
   }
}
