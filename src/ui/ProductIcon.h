#pragma once

#include <QIcon>
#include <QPixmap>

// The product's picture (a camera lens in a blue tile), drawn so no image file is needed.
QPixmap ProductIconPixmap(int size);
QIcon ProductIcon();
