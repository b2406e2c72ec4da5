#pragma once
// The resource bundle Vesk.rcc: registered by file name at start-up and the source of every
// text, menu, picture and data file of the program from then on.
#include <QString>
#include <string>

namespace tavrel {

class CResourceBundle {
public:
    CResourceBundle() = default;
    ~CResourceBundle() { Unload(); }
    CResourceBundle(const CResourceBundle&) = delete;
    CResourceBundle& operator=(const CResourceBundle&) = delete;

    // Registers the bundle and makes its string table the program's. False when the file is
    // missing, not a bundle, or holds no readable string table.
    bool Load(const QString& path);
    void Unload();
    bool IsLoaded() const { return !path_.isEmpty(); }

    enum class Extraction { Written, BundleIncomplete, FolderNotWritable };
    // Writes the bundle's three data files (binary/353, 354, 356) into folder under the names
    // of strings 61364-61366, anew at every start.
    static Extraction ExtractBinaryResources(const QString& folder);

private:
    QString path_;
};

}  // namespace tavrel
