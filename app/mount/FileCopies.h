#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>

// What the mounted phone folder keeps of files on this side: the whole
// copies of phone files being read, and the files being written before
// they go to the phone. All of it lives in one private folder, made for the
// mount in the user's runtime folder (XDG_RUNTIME_DIR), else in the
// temporary folder, readable by the user alone, and removed with it.
class TCacheFolder {
  public:
    // Nothing, with Error set, when no private folder can be made.
    static std::unique_ptr<TCacheFolder> Make(QString& Error);
    ~TCacheFolder();
    TCacheFolder(const TCacheFolder&) = delete;
    TCacheFolder& operator=(const TCacheFolder&) = delete;

    const QString& Path() const { return path_; }
    // A path for a file named Name in a subfolder of its own, made now, so
    // that files of one name never meet. Empty when it cannot be made.
    QString NewFilePath(const QString& Name);
    // Every file and subfolder in it removed; it stays.
    void Empty();

  private:
    explicit TCacheFolder(QString Path) : path_(std::move(Path)) {}
    QString path_;
    uint64_t next_ = 0;
};

// How many bytes of copies may be held in memory, for all files together;
// a copy that does not fit stays in its file.
class TMemoryBudget {
  public:
    explicit TMemoryBudget(int64_t Limit) : limit_(Limit) {}
    bool Take(int64_t Bytes) {
        if (Bytes > limit_ - used_) {
            return false;
        }
        used_ += Bytes;
        return true;
    }
    void Give(int64_t Bytes) { used_ -= Bytes; }
    int64_t Used() const { return used_; }

  private:
    int64_t limit_;
    int64_t used_ = 0;
};

// The whole copy of one phone file, fetched into a file of the cache
// folder; read into memory when the budget allows (the file then goes),
// else read from its file. Dropped (memory and file) when destroyed.
class TFileCopy {
  public:
    explicit TFileCopy(TMemoryBudget& Budget) : budget_(Budget) {}
    ~TFileCopy();
    TFileCopy(const TFileCopy&) = delete;
    TFileCopy& operator=(const TFileCopy&) = delete;

    // The file at Path is complete: takes it as the copy (dropping what it
    // held). 0 or an errno.
    int Load(const QString& Path);
    bool Loaded() const { return loaded_; }
    bool InMemory() const { return loaded_ && fd_ < 0; }
    int64_t Size() const { return size_; }
    // Up to Count bytes from Offset into Out; 0 or an errno.
    int Read(int64_t Offset, size_t Count, std::string& Out) const;
    // Drops what it holds (the copy can no longer be read).
    void Drop();

  private:
    TMemoryBudget& budget_;
    QString path_;
    QByteArray memory_;
    int fd_ = -1;
    int64_t size_ = 0;
    bool loaded_ = false;
};

// A file being written: its bytes staged in a file of the cache folder,
// named as the phone file will be, until they go to the phone. Removed
// when destroyed.
class TStagedFile {
  public:
    explicit TStagedFile(QString Path) : path_(std::move(Path)) {}
    ~TStagedFile();
    TStagedFile(const TStagedFile&) = delete;
    TStagedFile& operator=(const TStagedFile&) = delete;

    const QString& Path() const { return path_; }
    // Opens the file at Path (made empty unless Keep: then what a fetch put
    // there). 0 or an errno.
    int Open(bool Keep);
    bool IsOpen() const { return fd_ >= 0; }
    int64_t Size() const { return size_; }
    // 0 or an errno.
    int Write(int64_t Offset, const char* Data, size_t Count);
    int Read(int64_t Offset, size_t Count, std::string& Out) const;
    int Truncate(int64_t Size);
    // Whether it holds bytes the phone does not have yet.
    bool Dirty = false;
    // The errno of a write or a size that was refused: what it holds is
    // not the file its writer meant, and it never goes to the phone.
    int Failed = 0;

  private:
    QString path_;
    int fd_ = -1;
    int64_t size_ = 0;
};
