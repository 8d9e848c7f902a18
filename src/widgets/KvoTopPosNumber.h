#pragma once

#include <QPushButton>

// The large place number at the left of a row of a top list ("1", "2" …),
// drawn on a badge; the first place has its own badge and colour.
class KvoTopPosNumber : public QPushButton
{
    Q_OBJECT

public:
    // position: the 0-based place in the list.
    explicit KvoTopPosNumber(int position, QWidget* parent = nullptr);
    ~KvoTopPosNumber() override;
};
