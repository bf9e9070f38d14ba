// Long-lived windows whose full contents come with their own work: the
// model holder form (the pre-program code picker and the key property
// editor have their own files). They are created at start-up in their place
// and stay hidden until used.
#pragma once

#include <QDialog>
#include <QWidget>

#include "app/AppServices.h"
#include "editors/Precodeut.h"

namespace orvalink {

class TTiModelFm : public QWidget {
    Q_OBJECT
public:
    explicit TTiModelFm(QWidget* parent = nullptr);
};

}  // namespace orvalink
