// Hostile and broken documents: each is refused with a DecodeError naming the place and saying what is
// wrong, secrets stay out of the message, and nothing is handed back.

#include <gtest/gtest.h>

#include <string>

#include "ormid/Array.h"
#include "ormid/Registry.h"
#include "ormid/Versions.h"
#include "wire/Codec.h"

namespace {

const std::string kOpen =
    "<value xmlns=\"urn:quorl25\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" ";
const std::string kBoot = kOpen + "xsi:type=\"VirtualMachineBootOptions\">";
const std::string kSpec = kOpen + "xsi:type=\"VirtualMachineConfigSpec\">";
const std::string kDisk = "<bootOrder xsi:type=\"VirtualMachineBootOptionsBootableDiskDevice\">";

std::string Nested(int levels) {
   std::string doc = kOpen + "xsi:type=\"ArrayOfAnyType\">";
   for (int i = 0; i < levels; ++i) {
      doc += "<anyType xsi:type=\"ArrayOfAnyType\">";
   }
   for (int i = 0; i < levels; ++i) {
      doc += "</anyType>";
   }
   return doc + "</value>";
}

struct Row {
   const char* what;
   bool json;
   std::string document;
   const char* path;             // expected Wire::Error::GetPath()
   const char* message;          // a fragment of the message
   const char* secret = nullptr; // text that must not appear in the message
};

TEST(WireBadInput, EveryKindOfBadDocumentIsRefusedWithItsPlace) {
   std::string kDeepPath;
   for (int i = 0; i < 64; ++i) {
      kDeepPath += "[0]";
   }
   const Row rows[] = {
       {"truncated", false, kBoot + "<bootDelay>5</bootDel", "", "malformed XML at line 1"},
       {"empty", false, "", "", "malformed XML"},
       {"billion laughs", false,
        "<?xml version=\"1.0\"?><!DOCTYPE v [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;\">]>" +
            kOpen + "xsi:type=\"xsd:string\">&c;&c;&c;</value>",
        "", "DOCTYPE"},
       {"external entity", false,
        "<!DOCTYPE v [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" + kOpen +
            "xsi:type=\"xsd:string\">&x;</value>",
        "", "DOCTYPE"},
       {"undeclared entity", false, kOpen + "xsi:type=\"xsd:string\">&x;</value>", "", "malformed XML"},
       {"invalid UTF-8", false, kOpen + "xsi:type=\"xsd:string\">\xC3\x28</value>", "", "malformed XML"},
       {"wrong root", false, "<values/>", "", "root element of a value is <value>"},
       {"no xsi:type in anyType", false, kOpen + ">5</value>", "", "needs its xsi:type"},
       {"unknown xsi:type", false, kOpen + "xsi:type=\"NoSuchType\"/>", "",
        "unknown xsi:type \"NoSuchType\""},
       {"array of arrays", false,
        kOpen + "xsi:type=\"ArrayOfArrayOfString\"><ArrayOfString><string>a</string></ArrayOfString></value>",
        "", "unknown xsi:type \"ArrayOfArrayOfString\""},
       {"item of another name", false,
        kOpen + "xsi:type=\"ArrayOfString\"><string>a</string><int>1</int></value>", "",
        "is <string>, not <int>"},
       {"unbound prefix", false, kOpen + "xsi:type=\"q:int\"/>", "", "unbound prefix"},
       {"xsi:type not derived", false, kSpec + "<bootOptions xsi:type=\"VirtualMachineConfigSpec\"/></value>",
        "bootOptions", "is not a quorl.vm.BootOptions"},
       {"unknown element", false, kBoot + "<bootDelay>1</bootDelay><noSuch>1</noSuch></value>", "noSuch",
        "no property of quorl.vm.BootOptions"},
       {"given twice", false, kBoot + "<bootDelay>1</bootDelay><bootDelay>2</bootDelay></value>", "bootDelay",
        "given twice"},
       {"required missing", false, kBoot + kDisk + "</bootOrder></value>", "bootOrder[0].deviceKey",
        "required property is missing"},
       {"not an integer, deep", false,
        kSpec + "<bootOptions>" + kDisk + "<deviceKey>1</deviceKey></bootOrder>" + kDisk +
            "<deviceKey>x1</deviceKey></bootOrder></bootOptions></value>",
        "bootOptions.bootOrder[1].deviceKey", "\"x1\" is not an integer"},
       {"out of range", false, kOpen + "xsi:type=\"xsd:byte\">300</value>", "", "out of range"},
       {"not a date-time", false, kOpen + "xsi:type=\"xsd:dateTime\">2024-02-30T00:00:00Z</value>", "",
        "no such date"},
       {"zone moves a date-time out of range", false,
        kOpen + "xsi:type=\"xsd:dateTime\">0001-01-01T00:00:00+01:00</value>", "",
        "outside the years 0001 to 9999"},
       {"type newer than the version", false, kOpen + "xsi:type=\"ServiceEndpoint\"/>", "",
        "is not part of version quorl.version.v9_0_0_0"},
       {"JSON type newer than the version", true, R"({"_type":"ServiceEndpoint"})", "",
        "is not part of version"},
       {"not base64", false, kOpen + "xsi:type=\"xsd:base64Binary\">a$==</value>", "", "not base64"},
       {"unknown enumeration value", false,
        kOpen + "xsi:type=\"VirtualMachineBootOptionsNetworkBootProtocolType\">ipv9</value>", "",
        "not a value of enumeration"},
       {"text in an object", false, kBoot + "stray</value>", "", "unexpected text \"stray\""},
       {"reference without type", false, kOpen + "xsi:type=\"ManagedObjectReference\">vm-1</value>", "",
        "needs its type attribute"},
       {"too deep", false, Nested(70), kDeepPath.c_str(), "nested deeper than the limit of 64"},
       {"secret kept out", true, R"({"_type":"CryptoKeyPlain","keyData":12345678})", "keyData", "the value",
        "12345678"},
       {"JSON truncated", true, R"({"_type":"VirtualMachineBootOptions","bootDelay":)", "bootDelay",
        "malformed JSON"},
       {"JSON unknown member", true, R"({"_type":"VirtualMachineBootOptions","nope":1})", "nope",
        "unknown member"},
       {"JSON wrong kind", true, R"({"_type":"VirtualMachineBootOptions","bootDelay":"5"})", "bootDelay",
        "not a JSON literal"},
       {"JSON _type not first", true, R"({"bootDelay":5,"_type":"VirtualMachineBootOptions"})", "",
        "needs its _type first"},
       {"JSON lone surrogate", true, R"({"_type":"xsd:string","_value":"\ud800"})", "", "lone surrogate"},
       {"JSON trailing text", true, R"({"_type":"xsd:int","_value":1} x)", "", "text after the value"},
   };
   for (const Row& row : rows) {
      SCOPED_TRACE(row.what);
      try {
         Pellum::Ref<Ormid::Any> value =
             row.json ? Wire::DecodeJson(row.document) : Wire::DecodeXml(row.document);
         ADD_FAILURE() << "accepted: " << (value ? value->ToString() : std::string("null"));
      } catch (const Wire::DecodeError& e) {
         EXPECT_EQ(e.GetPath(), row.path) << e.what();
         EXPECT_NE(std::string(e.what()).find(row.message), std::string::npos) << e.what();
         if (row.secret != nullptr) {
            EXPECT_EQ(std::string(e.what()).find(row.secret), std::string::npos) << e.what();
         }
      }
   }
}

TEST(WireBadInput, LimitsAreTheCallersToSet) {
   const std::string doc = kBoot + "<bootDelay>5</bootDelay></value>";
   EXPECT_THROW(Wire::DecodeXml(doc, {.maxBytes = doc.size() - 1}), Wire::DecodeError);
   EXPECT_NO_THROW(Wire::DecodeXml(doc, {.maxBytes = doc.size()}));
   EXPECT_THROW(Wire::DecodeXml(Nested(10), {.maxDepth = 10}), Wire::DecodeError);
   EXPECT_NO_THROW(Wire::DecodeXml(Nested(9), {.maxDepth = 10}));
}

// A document written for an older version leaves out what is newer; read as that version, newer
// properties are skipped, while names no version knows are still refused.
TEST(WireVersions, OlderVersionsSeeOnlyWhatTheyHold) {
   auto& catalogue = Ormid::VersionCatalogue::Get();
   const Ormid::Version* v6 = &catalogue.GetVersion("quorl.version.version6"); // 4.1: no efiSecureBootEnabled
   Pellum::Ref<Ormid::Any> full = Wire::DecodeXml(
       kBoot + "<bootDelay>5</bootDelay><efiSecureBootEnabled>true</efiSecureBootEnabled></value>");
   const std::string old = Wire::EncodeXml(full.GetPtr(), {v6});
   EXPECT_NE(old.find("<bootDelay>5</bootDelay>"), std::string::npos) << old;
   EXPECT_EQ(old.find("efiSecureBootEnabled"), std::string::npos) << old;

   const std::string newer = Wire::EncodeXml(full.GetPtr());
   Pellum::Ref<Ormid::Any> asOld = Wire::DecodeXml(newer, {.version = v6});
   EXPECT_EQ(Wire::EncodeXml(asOld.GetPtr()), Wire::EncodeXml(Wire::DecodeXml(old).GetPtr()));
   EXPECT_THROW(Wire::DecodeXml(kBoot + "<noSuchProperty/></value>", {.version = v6}), Wire::DecodeError);

   // A type newer than the version is written as its nearest base that the version holds.
   const std::string disk = Wire::EncodeXml(
       Wire::DecodeXml(kOpen + "xsi:type=\"VirtualMachineBootOptionsBootableDiskDevice\"><deviceKey>7"
                               "</deviceKey></value>")
           .GetPtr(),
       {v6});
   EXPECT_NE(disk.find("xsi:type=\"DynamicData\""), std::string::npos) << disk;
   EXPECT_EQ(Wire::SoapAction(v6), "urn:quorl25/4.1");
   EXPECT_EQ(Wire::FindVersionBySoapAction("\"urn:quorl25/4.1\""), v6);
   EXPECT_EQ(Wire::FindVersionBySoapAction("urn:quorl25/0.0"), nullptr);
}

} // namespace
