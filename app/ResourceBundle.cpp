#include "app/ResourceBundle.h"

#include <QDir>
#include <QFile>
#include <QResource>
#include <QSaveFile>

#include "base/DebugOutput.h"
#include "uikit/UiText.h"

namespace tavrel {

namespace {

struct BinaryResource {
    int id;
    int nameId;
};
constexpr BinaryResource kBinaries[] = {{353, 61364}, {354, 61365}, {356, 61366}};

}  // namespace

bool CResourceBundle::Load(const QString& path) {
    Unload();
    if (!QResource::registerResource(path)) {
        DebugOutput("CResourceBundle::Load failed: " + path.toStdString() + "\n");
        return false;
    }
    path_ = path;
    QFile strings(":/strings.tsv");
    std::optional<CStringTable> table;
    if (strings.open(QIODevice::ReadOnly)) {
        const QByteArray text = strings.readAll();
        table = CStringTable::Parse(std::string_view(text.constData(), text.size()));
    }
    if (!table) {
        DebugOutput("CResourceBundle::Load failed: no string table in " + path.toStdString() +
                    "\n");
        Unload();
        return false;
    }
    ui::UseStringTable(std::move(*table));
    return true;
}

void CResourceBundle::Unload() {
    if (path_.isEmpty()) return;
    QResource::unregisterResource(path_);
    path_.clear();
}

CResourceBundle::Extraction CResourceBundle::ExtractBinaryResources(const QString& folder) {
    if (!QDir().mkpath(folder)) return Extraction::FolderNotWritable;
    for (const BinaryResource& binary : kBinaries) {
        QFile in(QString(":/binary/%1").arg(binary.id));
        const QString name = ui::Text(binary.nameId);
        // Only a plain file name: the string table must not steer a write elsewhere.
        if (name.isEmpty() || name.contains('/') || name == "." || name == ".." ||
            !in.open(QIODevice::ReadOnly)) {
            DebugOutput("CResourceBundle::ExtractBinaryResources failed: resource " +
                        std::to_string(binary.id) + "\n");
            return Extraction::BundleIncomplete;
        }
        // Written whole or not at all: a half-written avatar is worse than the last one.
        QSaveFile out(QDir(folder).filePath(name));
        if (!out.open(QIODevice::WriteOnly) || out.write(in.readAll()) != in.size() ||
            !out.commit()) {
            DebugOutput("CResourceBundle::ExtractBinaryResources failed: cannot write " +
                        out.fileName().toStdString() + "\n");
            return Extraction::FolderNotWritable;
        }
    }
    return Extraction::Written;
}

}  // namespace tavrel
