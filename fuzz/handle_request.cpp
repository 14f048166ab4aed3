// Fuzz target: Transport::HttpServer::Handle, what the server does with the body of one POST, without a
// socket: read as a version, authorised, dispatched onto a served folder, answered. The first byte picks
// the headers (a valid session cookie or a stale one, the SOAPAction of the newest release, of an old
// release or none); the rest is the body. Every input must end in an answer: 200 with a body, or a fault
// with its status; nothing may escape.

#include "common.h"
#include "ormid/Loopback.h"
#include "quorl/FolderSkeleton.h"
#include "transport/Http.h"

namespace {

class Folder final : public Quorl::FolderSkeleton {
public:
   Ormid::MoRef* _GetRef() const override { return _ref.GetPtr(); }
   void _Invalidate() override {}
   std::string GetName() override { return "fuzz"; }
   void GetChildEntity(Pellum::Ref<Ormid::DataArray<Ormid::MoRef>>& children) override {
      children = new Ormid::DataArray<Ormid::MoRef>();
      children->Append(_ref.GetPtr());
   }

private:
   const Pellum::Ref<Ormid::MoRef> _ref{new Ormid::MoRef("quorl.Folder", "group-d1")};
};

struct Server {
   Server() {
      Pellum::Ref<Ormid::LoopbackAdapter> objects(new Ormid::LoopbackAdapter(1));
      objects->Register(Pellum::Ref<Folder>(new Folder()).GetPtr());
      Pellum::Ref<Transport::InMemoryUsers> users(new Transport::InMemoryUsers());
      users->Add("fuzz", "fuzz", {"System.View", "Folder.Rename"});
      Transport::ServerOptions options;
      options.maxRequestBytes = std::size_t{1} << 20;
      options.maxDepth = 32;
      server = std::make_unique<Transport::HttpServer>(options, objects, users);
      cookie = server->CreateSession("fuzz");
   }
   std::unique_ptr<Transport::HttpServer> server;
   std::string cookie;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
   quorl_fuzz::RequireQuorlTypes();
   return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
   static Server s;
   if (size == 0) {
      return 0;
   }
   const std::uint8_t pick = data[0];
   const std::string_view body = quorl_fuzz::AsText(data + 1, size - 1);
   static const std::string newest = "\"" + Wire::SoapAction(nullptr) + "\"";
   static const char* const kActions[] = {"", "\"urn:quorl25/4.1\"", "urn:quorl25/9.9.9", nullptr};
   const std::string action = (pick & 3) == 3 ? newest : kActions[pick & 3];
   const std::string cookie = (pick & 4) != 0 ? s.cookie : (pick & 8) != 0 ? "quorl_session=stale" : "";
   const Transport::HttpServer::Answer answer = s.server->Handle(body, action, cookie);
   if (answer.body.empty() || (answer.status != 200 && (answer.status < 400 || answer.status > 599))) {
      quorl_fuzz::Finding("the server answered nothing, or with an odd status",
                          std::to_string(answer.status) + "\n--- input:\n" + std::string(body));
   }
   return 0;
}
