#pragma once

#include <QObject>
#include <QString>

#include "ui/theme/SizeText.h"

namespace tamrel::test {

// Records whether a read-out started a roll, and from which number, while it is watched: the
// roll may have ended by the time a test's wait returns.
class RollWatch {
public:
    explicit RollWatch(const SizeTextMotion& motion) {
        connection_ = QObject::connect(&motion, &SizeTextMotion::changed, [this, &motion] {
            if (motion.rolling() && motion.progress() == 0) {
                ++rolls_;
                from_ = motion.from();
                to_ = motion.number();
            }
        });
    }
    ~RollWatch() { QObject::disconnect(connection_); }
    RollWatch(const RollWatch&) = delete;
    RollWatch& operator=(const RollWatch&) = delete;

    int rolls() const { return rolls_; }
    QString from() const { return from_; }
    QString to() const { return to_; }

private:
    QMetaObject::Connection connection_;
    int rolls_ = 0;
    QString from_;
    QString to_;
};

}  // namespace tamrel::test
