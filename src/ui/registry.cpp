// The registry wrapper over the per-user INI file.
#include "ui/registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

namespace {

QString GroupOf(const std::string& path) {
    // QSettings takes '/' (and '\') as the group separator; the key path's
    // '\' separators become groups of the file.
    QString group = QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
    group.replace('\\', '/');
    while (group.startsWith('/')) group.remove(0, 1);
    while (group.endsWith('/')) group.chop(1);
    return group;
}

QString ToQString(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

std::string ToStd(const QString& s) { return s.toUtf8().toStdString(); }

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

}  // namespace

CRegEntry::CRegEntry(CRegistry* owner, const std::string& name)
    : m_pOwner(owner), m_strName(CutRegValue(name)) {}

CRegEntry::~CRegEntry() = default;

std::string CRegEntry::GetString() {
    if ((m_pOwner->Flags() & CRegistry::kRereadValues) != 0 && m_pOwner->IsOpen()) m_pOwner->ReadValue(*this);
    switch (m_nKind) {
        case kNumber: return std::to_string(m_nNumber);
        case kBinary: return m_binary;
        case kString:
        case kMultiString: break;
    }
    return m_strValue;
}

bool CRegEntry::SetString(const std::string& text) {
    m_strValue = CutRegValue(text);
    m_nKind = kString;
    m_bChanged = true;
    if ((m_pOwner->Flags() & CRegistry::kNoWrites) != 0) return false;
    return m_pOwner->WriteValue(*this);
}

CRegistry::CRegistry(uint32_t flags) : m_nFlags(flags) {}

CRegistry::~CRegistry() { Close(); }

std::string CRegistry::FilePath() {
    return ToStd(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)) +
           "/Quillmark/Quillmark.conf";
}

void CRegistry::Close() { m_pKey.reset(); }

bool CRegistry::Open(const std::string& path, uint32_t root, uint32_t access, bool create) {
    if (path != m_strPath) m_entries.clear();
    Close();
    m_strPath = path;
    m_nRoot = root;

    const QString file = ToQString(FilePath());
    const QString group = GroupOf(path);
    if ((m_nFlags & kCreateWriteThrough) != 0) {
        access |= kKeyCreateSubKey;
        QDir().mkpath(QFileInfo(file).absolutePath());
    } else {
        if ((m_nFlags & kOpenForAccess) != 0 && !create) access = kKeyQueryValue | kKeyCreateSubKey;
        if (!QFileInfo::exists(file)) return false;
    }
    auto key = std::make_unique<QSettings>(file, QSettings::IniFormat);
    if (key->status() != QSettings::NoError) return false;
    if ((m_nFlags & kCreateWriteThrough) != 0) {
        if (!key->isWritable()) return false;
    }
    if (!group.isEmpty()) key->beginGroup(group);
    if ((m_nFlags & kCreateWriteThrough) == 0 && !group.isEmpty() && key->allKeys().isEmpty()) return false;

    m_nAccess = access;
    m_pKey = std::move(key);
    if (!create) {
        for (const QString& name : m_pKey->childKeys()) ReadValue((*this)[ToStd(name)]);
    }
    return true;
}

CRegEntry& CRegistry::operator[](const std::string& name) {
    const QString wanted = ToQString(CutRegValue(name));
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        if (SameName(ToQString((*it)->m_strName), wanted)) return **it;
    m_entries.push_back(std::make_unique<CRegEntry>(this, name));
    return *m_entries.back();
}

bool CRegistry::ReadValue(CRegEntry& entry) {
    if (!m_pKey) return false;
    if ((m_nFlags & kRereadValues) != 0) m_pKey->sync();
    // The stored spelling of the name: an exact match first, else the last
    // one that differs only in case.
    const QString wanted = ToQString(entry.m_strName);
    QString stored;
    for (const QString& name : m_pKey->childKeys()) {
        if (name == wanted) {
            stored = name;
            break;
        }
        if (SameName(name, wanted)) stored = name;
    }
    if (stored.isEmpty()) return false;

    const QVariant value = m_pKey->value(stored);
    if (value.typeId() == QMetaType::QStringList) {
        // An INI line holding a plain comma list reads back as a list.
        entry.m_nKind = CRegEntry::kMultiString;
        entry.m_strValue = CutRegValue(ToStd(value.toStringList().join(',')));
    } else if (value.typeId() == QMetaType::QByteArray) {
        entry.m_nKind = CRegEntry::kBinary;
        entry.m_binary = CutRegValue(value.toByteArray().toStdString());
    } else {
        entry.m_nKind = CRegEntry::kString;
        entry.m_strValue = CutRegValue(ToStd(value.toString()));
    }
    entry.m_bLoaded = true;
    return true;
}

bool CRegistry::WriteValue(CRegEntry& entry) {
    if (!m_pKey || (m_nAccess & kKeySetValue) == 0) return false;
    const QString name = ToQString(entry.m_strName);
    // Names that differ only in case are one value: drop the other
    // spellings so that the file never holds two of them.
    for (const QString& other : m_pKey->childKeys())
        if (other != name && SameName(other, name)) m_pKey->remove(other);
    m_pKey->setValue(name, ToQString(entry.m_strValue));
    m_pKey->sync();
    if (m_pKey->status() != QSettings::NoError) return false;
    entry.m_bLoaded = true;
    return true;
}
