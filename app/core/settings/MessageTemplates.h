#pragma once

#include <QString>
#include <array>

// The hidden template labels of the main window: every user-visible message
// is formatted from one of these captions at the moment it is shown, so a
// language file translates the messages by renaming the labels.
struct TMessageTemplate {
    const char* Name;     // the label's objectName
    const char* Caption;  // its built-in caption
};

inline constexpr std::array<TMessageTemplate, 43> MessageTemplates = {{
    {"idDownloadComplete", "Download is complete!"},
    {"idUploading", "Uploading - %2.f/%2.f kB"},
    {"idFilesCount", "%d files"},
    {"idSelectedFiles", "%d of %d files - %2.f kB"},
    {"idDownloading", "Downloading - %2.f/%2.f kB"},
    {"idSkipping", "The file %s exists, skipping"},
    {"idConnected", "connected"},
    {"idDisconnected", "disconnected"},
    {"idPhoneFound", "%d P2K devices found"},
    {"idClosingP2K", "Closing all P2K devices"},
    {"idClosingAT", "Closing all AT devices"},
    {"idSwitchingP2K", "Switching to P2K mode: %s"},
    {"idFreeSpace", "Free space: %2.f"},
    {"idSelectDirectory", "Select directory"},
    {"idReplaceQ", "File %s exists. Replace?"},
    {"idDlComplete", "idDlComplete"},
    {"idDownloadFailed", "Download of %s failed"},
    {"idUploadFailed", "Upload of %s failed"},
    {"idBadLocalName", "The name %s cannot be a local file name, skipping"},
    {"idBadPhoneName", "The name %s cannot be written on the phone, skipping"},
    {"idListIncomplete", "The file list could not be read in full"},
    {"idKeptOnPhone", "%s stays on the phone: its copy could not be flushed to the disk"},
    {"idDlIncomplete", "%d of %d pictures could not be downloaded. The Log names them."},
    {"idDownloadSummary", "Downloaded: %d, skipped: %d, failed: %d"},
    {"idPhoneInUse", "Phone %d is in use by another program"},
    {"idPreviewSize", "Size: %d bytes"},
    {"idPreviewTaken", "Taken: %s"},
    {"idPreviewCamera", "Camera: %s"},
    {"idPreviewNone", "No preview of this file"},
    {"idStopped", "%d files done, the command was stopped"},
    {"idPartRemoved", "The incomplete file %s was removed from the phone"},
    {"idPartKept", "The incomplete file %s could not be removed from the phone"},
    {"idSkippingKnown", "%s was downloaded before, skipping"},
    {"idStaleRemoved", "Removed %s, left by a download that was cut off"},
    {"idSpeedTimeLeft", "%2.f kB/s, %s left"},
    {"idBadFolderPattern", "The folder pattern %s cannot be used: nothing was downloaded"},
    {"idBadDateFolder", "The folder pattern makes no safe folder name for %s, skipping"},
    {"idKeptBoth", "%s is not the picture already named so: saved as %s"},
    {"idSecondDiffers", "%s holds another picture of that name: %s stays on the phone"},
    {"idAlsoCopied", "Copied %s to %s"},
    // The tray icon's menu.
    {"idTrayShow", "Show Snaprill"},
    {"idTrayHide", "Hide Snaprill"},
    {"idTrayQuit", "Quit"},
}};

// The built-in caption of the named template; empty for an unknown name.
QString builtInTemplate(const QString& Name);
