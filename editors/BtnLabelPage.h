// The "Label" page of Button Properties: the key's label edited element by
// element from a palette of the remote's characters or icons, a preview
// with a blinking cursor, and a word on the status bar when the label is
// larger than the key shows.
#pragma once

#include <QImage>
#include <QWidget>

#include <functional>
#include <vector>

#include "editors/BtnShared.h"
#include "editors/core/LabelEditing.h"

class QLabel;
class QPushButton;
class QStatusBar;
class QTableWidget;
class QTimer;
class QToolButton;

namespace orvalink {

class TBtnLabelPage : public QWidget {
    Q_OBJECT
public:
    // `shapeRect`: whether the attribute page's shape is "Rect" (a
    // rectangle has room for more lines of label than an ellipse).
    TBtnLabelPage(BtnOpenKey& open, const BtnServices& services, QStatusBar& status,
                  std::function<bool()> shapeRect, QWidget* parent);

    // The open key's label with the pictures of the image, and the palette.
    void Open();
    // No label; the cursor stops blinking.
    void Clear();
    void StartCursor();
    // Says on the status bar when the label is larger than the key shows,
    // and takes the words back when it fits again.
    void SayLabelFit();
    const LabelEditor& Label() const { return label_; }
    bool IconPalette() const { return iconPalette_; }

    // ---- User events.
    void m_AddBtnClick();
    void m_DelBtnClick();
    void m_EnterBtnClick();
    void m_LeftBtnClick();
    void m_RightBtnClick();
    void m_TextTBtnClick();
    void m_IconTBtnClick();
    void m_IconSGridClick(int row, int column);

    // ---- The parts, for the tests.
    QLabel* Preview() const { return m_BtnImg; }
    QTableWidget* Palette() const { return m_IconSGrid; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build();
    void BuildPalette();
    void LoadPictures();
    void FillPalette();
    void DrawPreview();
    void AddElement(const LabelElement& element);
    QImage ElementPicture(const LabelElement& element) const;
    int ElementWidth(const LabelElement& element) const;

    BtnOpenKey& open_;
    TTiFlashFm& flash_;
    UiServices& ui_;
    QStatusBar& status_;
    std::function<bool()> shapeRect_;
    LabelEditor label_;
    bool iconPalette_ = false;
    bool cursorShown_ = true;
    std::vector<QImage> glyphs_;
    std::vector<QImage> icons_;

    QLabel* m_BtnImg = nullptr;
    QTableWidget* m_IconSGrid = nullptr;
    QPushButton* m_AddBtn = nullptr;
    QPushButton* m_DelBtn = nullptr;
    QPushButton* m_EnterBtn = nullptr;
    QPushButton* m_LeftBtn = nullptr;
    QPushButton* m_RightBtn = nullptr;
    QToolButton* m_TextTBtn = nullptr;
    QToolButton* m_IconTBtn = nullptr;
    QToolButton* m_UserTextTBtn = nullptr;
    QToolButton* m_UserIconTBtn = nullptr;
    QTimer* m_cursorTm = nullptr;
};

}  // namespace orvalink
