#pragma once

#include <QByteArray>
#include <QString>
#include <map>

#include "toolkit/sapp.h"

namespace kb::ui {

// Resources held in memory, keyed "type:name" in lower case.
class MemProvider : public IResProvider {
public:
    void Add(const QString& typeAndName, const QByteArray& data) {
        data_[typeAndName.toLower()] = data;
    }
    bool HasResource(const QString& type, const QString& name) const override {
        return data_.count(Key(type, name)) != 0;
    }
    QByteArray LoadData(const QString& type, const QString& name) const override {
        const auto it = data_.find(Key(type, name));
        return it == data_.end() ? QByteArray() : it->second;
    }

private:
    static QString Key(const QString& type, const QString& name) {
        return (type + QLatin1Char(':') + name).toLower();
    }
    std::map<QString, QByteArray> data_;
};

}  // namespace kb::ui
