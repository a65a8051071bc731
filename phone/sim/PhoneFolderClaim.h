#pragma once

#include <filesystem>
#include <memory>

// A virtual phone's claim against other programs, as a real phone's USB
// interface is claimed: a lock on the hidden file ".snaprill-lock" in the
// phone's folder (an open file description lock, so that two opens conflict
// whether they are made by two programs or by one). The phone's loader
// leaves hidden files out: the lock file is never one of the phone's files.
inline constexpr const char* PhoneClaimFileName = ".snaprill-lock";

// Claims the phone of Folder. The handle holds the claim until it is
// dropped; nullptr when another open holds it (Held is then true). A folder
// whose lock file cannot be made (read-only) is not claimed: a handle that
// holds nothing is returned, and the phone can be used as before.
std::shared_ptr<void> ClaimPhoneFolder(const std::filesystem::path& Folder, bool& Held);

// Whether an open holds the claim on Folder now, without taking it.
bool PhoneFolderClaimed(const std::filesystem::path& Folder);
