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

inline constexpr std::array<TMessageTemplate, 25> MessageTemplates = {{
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
    // The tray icon's menu.
    {"idTrayShow", "Show Snaprill"},
    {"idTrayHide", "Hide Snaprill"},
    {"idTrayQuit", "Quit"},
}};

// The built-in caption of the named template; empty for an unknown name.
QString builtInTemplate(const QString& Name);
