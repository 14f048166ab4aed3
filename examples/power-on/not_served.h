// Base classes of the example's server objects that answer every member with a fault.
//
// Quorl::VirtualMachine and Quorl::Task are abstract: an implementation must override each of their
// getters and methods (those inherited from Quorl::ManagedEntity and Quorl::ExtensibleManagedObject
// included) before it can be instantiated. A real server implements all of them; this example needs only
// a handful. The classes below override every member with a call of NotServed(), which raises the
// runtime's Ormid::Fault::NotSupported fault naming the member, so that the example's own classes
// (scenario.cpp) override just what the story uses and read like the story.
//
// Left pure: _GetRef() and _Invalidate(), which every implementation provides itself.
#pragma once

#include <string>

#include "ormid/BaseTypes.h"
#include "ormid/MethodFault.h"
#include "quorl/Task.h"
#include "quorl/VirtualMachine.h"

namespace PowerOnExample {

// Raises Ormid::Fault::NotSupported with a message naming `member` ("VirtualMachine::PowerOff"). The
// caller catches it as Ormid::Fault::NotSupported::Exception (or any base class of it), also across the
// adapter: the fault travels as it would over a wire.
[[noreturn]] inline void NotServed(const char* member) {
   Pellum::Ref<Ormid::Fault::NotSupported> fault(new Ormid::Fault::NotSupported());
   fault->GetFaultMessage()->Append(Pellum::Ref<Ormid::LocalizableMessage>(new Ormid::LocalizableMessage(
       "example.power-on.notServed", std::string(member) + " is not served by the power-on example")));
   // The same as fault->Throw(), spelt as a throw expression: g++ does not always carry [[noreturn]]
   // through a virtual call, and would warn that this function returns.
   throw Ormid::Fault::NotSupported::Exception(fault.GetPtr());
}

// Quorl::VirtualMachine with every member answered by NotServed().
class NotServedVirtualMachine : public virtual Quorl::VirtualMachine {
public:
   // ExtensibleManagedObject
   void GetValue(Pellum::Ref<Ormid::DataArray<Quorl::CustomFieldsManager::Value>>&) override {
      NotServed("ExtensibleManagedObject::GetValue");
   }
   void GetAvailableField(Pellum::Ref<Ormid::DataArray<Quorl::CustomFieldsManager::FieldDef>>&) override {
      NotServed("ExtensibleManagedObject::GetAvailableField");
   }
   void SetCustomValue(const std::string&, const std::string&) override {
      NotServed("ExtensibleManagedObject::SetCustomValue");
   }

   // ManagedEntity
   void GetParent(Pellum::Ref<Ormid::MoRef>&) override { NotServed("ManagedEntity::GetParent"); }
   void GetCustomValue(Pellum::Ref<Ormid::DataArray<Quorl::CustomFieldsManager::Value>>&) override {
      NotServed("ManagedEntity::GetCustomValue");
   }
   Quorl::ManagedEntity::Status GetOverallStatus() override { NotServed("ManagedEntity::GetOverallStatus"); }
   Quorl::ManagedEntity::Status GetConfigStatus() override { NotServed("ManagedEntity::GetConfigStatus"); }
   void GetConfigIssue(Pellum::Ref<Ormid::DataArray<Quorl::Event::Event>>&) override {
      NotServed("ManagedEntity::GetConfigIssue");
   }
   void GetEffectiveRole(Pellum::Ref<Ormid::Array<int>>&) override {
      NotServed("ManagedEntity::GetEffectiveRole");
   }
   void GetPermission(Pellum::Ref<Ormid::DataArray<Quorl::AuthorizationManager::Permission>>&) override {
      NotServed("ManagedEntity::GetPermission");
   }
   std::string GetName() override { NotServed("ManagedEntity::GetName"); }
   void GetDisabledMethod(Pellum::Ref<Ormid::Array<Ormid::MethodName>>&) override {
      NotServed("ManagedEntity::GetDisabledMethod");
   }
   void GetRecentTask(Pellum::Ref<Ormid::DataArray<Ormid::MoRef>>&) override {
      NotServed("ManagedEntity::GetRecentTask");
   }
   void GetDeclaredAlarmState(Pellum::Ref<Ormid::DataArray<Quorl::Alarm::AlarmState>>&) override {
      NotServed("ManagedEntity::GetDeclaredAlarmState");
   }
   void GetTriggeredAlarmState(Pellum::Ref<Ormid::DataArray<Quorl::Alarm::AlarmState>>&) override {
      NotServed("ManagedEntity::GetTriggeredAlarmState");
   }
   Pellum::Optional<bool> GetAlarmActionsEnabled() override {
      NotServed("ManagedEntity::GetAlarmActionsEnabled");
   }
   void GetTag(Pellum::Ref<Ormid::DataArray<Quorl::Tag>>&) override { NotServed("ManagedEntity::GetTag"); }
   void Reload() override { NotServed("ManagedEntity::Reload"); }
   void Rename(const std::string&, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("ManagedEntity::Rename");
   }
   void Destroy(Pellum::Ref<Ormid::MoRef>&) override { NotServed("ManagedEntity::Destroy"); }
   void AddTag(Ormid::DataArray<Quorl::Tag>*) override { NotServed("ManagedEntity::AddTag"); }
   void RemoveTag(Ormid::DataArray<Quorl::Tag>*) override { NotServed("ManagedEntity::RemoveTag"); }
   void RetrieveCustomValues(Ormid::Array<int>*,
                             Pellum::Ref<Ormid::DataArray<Quorl::CustomFieldsManager::Value>>&) override {
      NotServed("ManagedEntity::RetrieveCustomValues");
   }

   // VirtualMachine
   void GetCapability(Pellum::Ref<Quorl::Vm::Capability>&) override {
      NotServed("VirtualMachine::GetCapability");
   }
   void GetConfig(Pellum::Ref<Quorl::Vm::ConfigInfo>&) override { NotServed("VirtualMachine::GetConfig"); }
   void GetLayout(Pellum::Ref<Quorl::Vm::FileLayout>&) override { NotServed("VirtualMachine::GetLayout"); }
   void GetLayoutEx(Pellum::Ref<Quorl::Vm::FileLayoutEx>&) override {
      NotServed("VirtualMachine::GetLayoutEx");
   }
   void GetStorage(Pellum::Ref<Quorl::Vm::StorageInfo>&) override { NotServed("VirtualMachine::GetStorage"); }
   void GetEnvironmentBrowser(Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::GetEnvironmentBrowser");
   }
   void GetResourcePool(Pellum::Ref<Ormid::MoRef>&) override { NotServed("VirtualMachine::GetResourcePool"); }
   void GetParentPakt(Pellum::Ref<Ormid::MoRef>&) override { NotServed("VirtualMachine::GetParentPakt"); }
   void GetResourceConfig(Pellum::Ref<Quorl::ResourceConfigSpec>&) override {
      NotServed("VirtualMachine::GetResourceConfig");
   }
   void GetRuntime(Pellum::Ref<Quorl::Vm::RuntimeInfo>&) override { NotServed("VirtualMachine::GetRuntime"); }
   void GetGuest(Pellum::Ref<Quorl::Vm::GuestInfo>&) override { NotServed("VirtualMachine::GetGuest"); }
   void GetSummary(Pellum::Ref<Quorl::Vm::Summary>&) override { NotServed("VirtualMachine::GetSummary"); }
   void GetDatastore(Pellum::Ref<Ormid::DataArray<Ormid::MoRef>>&) override {
      NotServed("VirtualMachine::GetDatastore");
   }
   void GetNetwork(Pellum::Ref<Ormid::DataArray<Ormid::MoRef>>&) override {
      NotServed("VirtualMachine::GetNetwork");
   }
   void GetSnapshot(Pellum::Ref<Quorl::Vm::SnapshotInfo>&) override {
      NotServed("VirtualMachine::GetSnapshot");
   }
   void GetRootSnapshot(Pellum::Ref<Ormid::DataArray<Ormid::MoRef>>&) override {
      NotServed("VirtualMachine::GetRootSnapshot");
   }
   Quorl::ManagedEntity::Status GetGuestHeartbeatStatus() override {
      NotServed("VirtualMachine::GetGuestHeartbeatStatus");
   }
   void RefreshStorageInfo() override { NotServed("VirtualMachine::RefreshStorageInfo"); }
   void ReportFailoverCompleted() override { NotServed("VirtualMachine::ReportFailoverCompleted"); }
   void RetrieveBackupAgent(Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::RetrieveBackupAgent");
   }
   void CreateSnapshot(const std::string&, const Pellum::Optional<std::string>&, bool, bool,
                       Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::CreateSnapshot");
   }
   void CreateSnapshotEx(const std::string&, const Pellum::Optional<std::string>&, bool,
                         Quorl::Vm::GuestQuiesceSpec*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::CreateSnapshotEx");
   }
   void RevertToCurrentSnapshot(Ormid::MoRef*, const Pellum::Optional<bool>&,
                                Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::RevertToCurrentSnapshot");
   }
   void RemoveAllSnapshots(const Pellum::Optional<bool>&, Quorl::Vm::SnapshotSelectionSpec*,
                           Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::RemoveAllSnapshots");
   }
   void ConsolidateDisks(Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::ConsolidateDisks");
   }
   void EstimateStorageRequirementForConsolidate(Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::EstimateStorageRequirementForConsolidate");
   }
   void Reconfigure(Quorl::Vm::ConfigSpec*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::Reconfigure");
   }
   void UpgradeVirtualHardware(const Pellum::Optional<std::string>&, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::UpgradeVirtualHardware");
   }
   std::string ExtractOvfEnvironment() override { NotServed("VirtualMachine::ExtractOvfEnvironment"); }
   void PowerOn(Ormid::MoRef*, Pellum::Ref<Ormid::MoRef>&) override { NotServed("VirtualMachine::PowerOn"); }
   void PowerOff(Pellum::Ref<Ormid::MoRef>&) override { NotServed("VirtualMachine::PowerOff"); }
   void Suspend(Pellum::Ref<Ormid::MoRef>&) override { NotServed("VirtualMachine::Suspend"); }
   void SuspendToMemory(Pellum::Ref<Ormid::MoRef>&) override { NotServed("VirtualMachine::SuspendToMemory"); }
   void Reset(Pellum::Ref<Ormid::MoRef>&) override { NotServed("VirtualMachine::Reset"); }
   void ShutdownGuest() override { NotServed("VirtualMachine::ShutdownGuest"); }
   void RebootGuest() override { NotServed("VirtualMachine::RebootGuest"); }
   void StandbyGuest() override { NotServed("VirtualMachine::StandbyGuest"); }
   void Answer(const std::string&, const std::string&) override { NotServed("VirtualMachine::Answer"); }
   void Customize(Quorl::Vm::Customization::Specification*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::Customize");
   }
   void CheckCustomizationSpec(Quorl::Vm::Customization::Specification*) override {
      NotServed("VirtualMachine::CheckCustomizationSpec");
   }
   void Migrate(Ormid::MoRef*, Ormid::MoRef*, Quorl::VirtualMachine::MovePriority,
                const Pellum::Optional<Quorl::VirtualMachine::PowerState>&,
                Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::Migrate");
   }
   void Relocate(Quorl::Vm::RelocateSpec*, const Pellum::Optional<Quorl::VirtualMachine::MovePriority>&,
                 Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::Relocate");
   }
   void Clone(Ormid::MoRef*, const std::string&, Quorl::Vm::CloneSpec*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::Clone");
   }
   void CloneFromLibraryItem(Ormid::MoRef*, const std::string&, Quorl::Vm::CloneSpec*,
                             Quorl::Vm::ContentLibraryItemInfo*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::CloneFromLibraryItem");
   }
   void InstantClone(Quorl::Vm::InstantCloneSpec*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::InstantClone");
   }
   void CreateForkChild(const std::string&, Quorl::Vm::CreateChildSpec*,
                        Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::CreateForkChild");
   }
   void EnableForkParent(Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::EnableForkParent");
   }
   void DisableForkParent(Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::DisableForkParent");
   }
   void RetrieveForkChildren(Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::RetrieveForkChildren");
   }
   void RetrieveForkParent(Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::RetrieveForkParent");
   }
   void CreateImportLease(Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::CreateImportLease");
   }
   void ExportVm(Pellum::Ref<Ormid::MoRef>&) override { NotServed("VirtualMachine::ExportVm"); }
   void MarkAsTemplate() override { NotServed("VirtualMachine::MarkAsTemplate"); }
   void MarkAsVirtualMachine(Ormid::MoRef*, Ormid::MoRef*) override {
      NotServed("VirtualMachine::MarkAsVirtualMachine");
   }
   void Unregister() override { NotServed("VirtualMachine::Unregister"); }
   void ResetGuestInformation() override { NotServed("VirtualMachine::ResetGuestInformation"); }
   void MountToolsInstaller() override { NotServed("VirtualMachine::MountToolsInstaller"); }
   void MountToolsInstallerImage(Quorl::Vm::Device::VirtualDevice::BackingInfo*,
                                 Quorl::Vm::Guest::GuestAuthentication*) override {
      NotServed("VirtualMachine::MountToolsInstallerImage");
   }
   void UnmountToolsInstaller() override { NotServed("VirtualMachine::UnmountToolsInstaller"); }
   void UpgradeTools(const Pellum::Optional<std::string>&, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::UpgradeTools");
   }
   void UpgradeToolsFromImage(const Pellum::Optional<std::string>&,
                              Quorl::Vm::Device::VirtualDevice::BackingInfo*,
                              Quorl::Vm::Guest::GuestAuthentication*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::UpgradeToolsFromImage");
   }
   void AcquireMksTicket(Pellum::Ref<Quorl::VirtualMachine::MksTicket>&) override {
      NotServed("VirtualMachine::AcquireMksTicket");
   }
   void QueryConnections(Pellum::Ref<Ormid::DataArray<Quorl::VirtualMachine::Connection>>&) override {
      NotServed("VirtualMachine::QueryConnections");
   }
   bool DropConnections(Ormid::DataArray<Quorl::VirtualMachine::Connection>*) override {
      NotServed("VirtualMachine::DropConnections");
   }
   void AcquireTicket(const std::string&, Pellum::Ref<Quorl::VirtualMachine::Ticket>&) override {
      NotServed("VirtualMachine::AcquireTicket");
   }
   void SetScreenResolution(int, int) override { NotServed("VirtualMachine::SetScreenResolution"); }
   void DefragmentAllDisks() override { NotServed("VirtualMachine::DefragmentAllDisks"); }
   void CreateSecondary(Ormid::MoRef*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::CreateSecondary");
   }
   void CreateSecondaryEx(Ormid::MoRef*, Quorl::Vm::FaultToleranceConfigSpec*,
                          Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::CreateSecondaryEx");
   }
   void TurnOffFaultTolerance(Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::TurnOffFaultTolerance");
   }
   void MakePrimary(Ormid::MoRef*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::MakePrimary");
   }
   void TerminateFaultTolerantVM(Ormid::MoRef*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::TerminateFaultTolerantVM");
   }
   void DisableSecondary(Ormid::MoRef*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::DisableSecondary");
   }
   void EnableSecondary(Ormid::MoRef*, Ormid::MoRef*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::EnableSecondary");
   }
   void SetDisplayTopology(Ormid::DataArray<Quorl::VirtualMachine::DisplayTopology>*) override {
      NotServed("VirtualMachine::SetDisplayTopology");
   }
   void StartRecording(const std::string&, const Pellum::Optional<std::string>&,
                       Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::StartRecording");
   }
   void StopRecording(Pellum::Ref<Ormid::MoRef>&) override { NotServed("VirtualMachine::StopRecording"); }
   void StartReplaying(Ormid::MoRef*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::StartReplaying");
   }
   void StopReplaying(Pellum::Ref<Ormid::MoRef>&) override { NotServed("VirtualMachine::StopReplaying"); }
   void PromoteDisks(bool, Ormid::DataArray<Quorl::Vm::Device::VirtualDisk>*,
                     Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::PromoteDisks");
   }
   void CreateScreenshot(Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::CreateScreenshot");
   }
   int PutUsbScanCodes(Quorl::Vm::UsbScanCodeSpec*) override { NotServed("VirtualMachine::PutUsbScanCodes"); }
   void QueryChangedDiskAreas(Ormid::MoRef*, int, long, const std::string&,
                              Pellum::Ref<Quorl::VirtualMachine::DiskChangeInfo>&) override {
      NotServed("VirtualMachine::QueryChangedDiskAreas");
   }
   void QueryUnownedFiles(Pellum::Ref<Ormid::Array<std::string>>&) override {
      NotServed("VirtualMachine::QueryUnownedFiles");
   }
   void ReloadFromPath(const std::string&, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::ReloadFromPath");
   }
   void QueryFaultToleranceCompatibility(Pellum::Ref<Ormid::DataArray<Ormid::MethodFault>>&) override {
      NotServed("VirtualMachine::QueryFaultToleranceCompatibility");
   }
   void QueryFaultToleranceCompatibilityEx(const Pellum::Optional<bool>&,
                                           Pellum::Ref<Ormid::DataArray<Ormid::MethodFault>>&) override {
      NotServed("VirtualMachine::QueryFaultToleranceCompatibilityEx");
   }
   void InvokeFSR(Pellum::Ref<Ormid::MoRef>&) override { NotServed("VirtualMachine::InvokeFSR"); }
   void Terminate() override { NotServed("VirtualMachine::Terminate"); }
   bool IsNativeSnapshotCapable() override { NotServed("VirtualMachine::IsNativeSnapshotCapable"); }
   void ConfigureQuorumFilePathPrefix(const std::string&, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::ConfigureQuorumFilePathPrefix");
   }
   void InjectOvfEnvironment(const std::string&, const std::string&) override {
      NotServed("VirtualMachine::InjectOvfEnvironment");
   }
   void WipeDisk(Pellum::Ref<Ormid::MoRef>&) override { NotServed("VirtualMachine::WipeDisk"); }
   void ShrinkDisk(Ormid::Array<int>*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::ShrinkDisk");
   }
   void SendNMI() override { NotServed("VirtualMachine::SendNMI"); }
   void ReloadEx(Pellum::Ref<Ormid::MoRef>&) override { NotServed("VirtualMachine::ReloadEx"); }
   void AttachDisk(Quorl::Pyx::ID*, Ormid::MoRef*, const Pellum::Optional<int>&, const Pellum::Optional<int>&,
                   Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::AttachDisk");
   }
   void DetachDisk(Quorl::Pyx::ID*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::DetachDisk");
   }
   void ApplyQuamMode(Ormid::DataArray<Quorl::Host::FeatureMask>*, const Pellum::Optional<bool>&,
                      Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::ApplyQuamMode");
   }
   void CryptoUnlock(Pellum::Ref<Ormid::MoRef>&) override { NotServed("VirtualMachine::CryptoUnlock"); }
   void Checkout(Quorl::Vm::CheckoutSpec*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::Checkout");
   }
   void Checkin(Quorl::Vm::CheckinSpec*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::Checkin");
   }
   void Revert(Quorl::Vm::RevertSpec*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::Revert");
   }
   void MarkAsLibraryItem(Ormid::MoRef*, Ormid::MoRef*, Quorl::Vm::ContentLibraryItemInfo*,
                          const std::string&, const std::string&, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::MarkAsLibraryItem");
   }
   void RemoveLibraryItem(Ormid::MoRef*, Ormid::MoRef*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::RemoveLibraryItem");
   }
   void CloneVmAsLibraryItem(Ormid::MoRef*, const std::string&, Quorl::Vm::CloneSpec*,
                             Quorl::Vm::ContentLibraryItemInfo*, const std::string&, const std::string&,
                             Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::CloneVmAsLibraryItem");
   }
   void SetAhDeviceHints(Ormid::DataArray<Quorl::Vm::AssignableHardwareDeviceHint>*) override {
      NotServed("VirtualMachine::SetAhDeviceHints");
   }
   void GuestQuiesceBegin(Quorl::Vm::GuestQuiesce::BeginSpec*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::GuestQuiesceBegin");
   }
   void GuestQuiesceEnd(Quorl::Vm::GuestQuiesce::EndSpec*, Pellum::Ref<Ormid::MoRef>&) override {
      NotServed("VirtualMachine::GuestQuiesceEnd");
   }
};

// Quorl::Task with every member answered by NotServed().
class NotServedTask : public virtual Quorl::Task {
public:
   // ExtensibleManagedObject
   void GetValue(Pellum::Ref<Ormid::DataArray<Quorl::CustomFieldsManager::Value>>&) override {
      NotServed("ExtensibleManagedObject::GetValue");
   }
   void GetAvailableField(Pellum::Ref<Ormid::DataArray<Quorl::CustomFieldsManager::FieldDef>>&) override {
      NotServed("ExtensibleManagedObject::GetAvailableField");
   }
   void SetCustomValue(const std::string&, const std::string&) override {
      NotServed("ExtensibleManagedObject::SetCustomValue");
   }

   // Task
   void GetInfo(Pellum::Ref<Quorl::TaskInfo>&) override { NotServed("Task::GetInfo"); }
   void Cancel() override { NotServed("Task::Cancel"); }
   void UpdateProgress(int) override { NotServed("Task::UpdateProgress"); }
   void SetState(Quorl::TaskInfo::State, Ormid::Any*, Ormid::MethodFault*) override {
      NotServed("Task::SetState");
   }
   void UpdateDescription(Ormid::LocalizableMessage*) override { NotServed("Task::UpdateDescription"); }
};

} // namespace PowerOnExample
