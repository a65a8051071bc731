#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

// The virtual phones of the demo, as the folder SNAPRILL_VIRTUAL_PHONES
// names: one phone in P2K mode holding a dozen pictures, and one that
// starts in modem mode, which the program switches.

struct TDemoPicture {
    const char* Name;  // UTF-8
    int Width;
    int Height;
    // The exact size of the file, or 0 for whatever the picture encodes to.
    qsizetype Bytes;
};

// The pictures of the P2K phone, in /a/mobile/picture/. Among them one
// with a Cyrillic name, one of exactly 4000 bytes (one large download block
// or four small ones) and one whose last block, large or small, is a
// single byte. Those of no set size carry an EXIF block (date and camera),
// most of them with an embedded thumbnail.
const std::vector<TDemoPicture>& demoPictures();
// The few pictures of the phone in modem mode.
const std::vector<TDemoPicture>& demoModemPictures();

// The subfolders of the two phones.
inline constexpr const char* DemoPhoneFolder = "razr";
inline constexpr const char* DemoModemFolder = "e398.modem";

// Writes both phones into Folder (made when missing; files of the same name
// are replaced). An empty text on success, else what went wrong.
QString makeDemoPhones(const QString& Folder);
