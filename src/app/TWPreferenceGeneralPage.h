#pragma once
// The General page of the preferences window: how duplicates are matched, where
// removed files go, how alike images must be and by what (colours or look), whether a
// content match is confirmed over the whole file, whether scans run in the background,
// whether they remember files between scans (with a button that clears what they
// remembered), and where the photo and music libraries live. Every change is
// written to the preference store at once. Main thread only.

#include <QList>
#include <QWidget>
#include <string>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QVBoxLayout;

class TWPreferenceGeneralPage : public QWidget {
    Q_OBJECT
public:
    explicit TWPreferenceGeneralPage(QWidget* parent = nullptr);

    // Sets every control from the store.
    void reloadData();

    // --- actions ---
    void searchMethodChanged();
    void removeDestChanged();
    void similarityChanged(int percent);
    void similarMethodChanged();
    void verifyFullContentChanged();
    void scanInBackgroundChanged();
    void rememberFilesChanged();
    // Empties the cache of earlier scans; a failure is told in an alert.
    void clearRememberedFiles();
    // Open the folder choosers; OK stores the chosen folder when it holds a library of
    // the kind (Shotwell or digiKam, Rhythmbox), else a warning says it holds none.
    void changePhotoLibraryLocation();
    void changeItunesMediaLocation();

    // "70%" for 0.7, in the locale's percent style.
    static QString percentText(float level);

    QButtonGroup* matrixSearchMethod() const { return matrixSearchMethod_; }
    QButtonGroup* matrixRemoveDest() const { return matrixRemoveDest_; }
    QSlider* slideSimilarity() const { return slideSimilarity_; }
    QButtonGroup* matrixSimilarMethod() const { return matrixSimilarMethod_; }  // ids: TWSimilarMethod
    QLabel* similarLevelDescription() const { return similarLevelDescription_; }
    QCheckBox* chkVerifyFullContent() const { return chkVerifyFullContent_; }
    QCheckBox* chkScanInBackground() const { return chkScanInBackground_; }
    QCheckBox* chkRememberFiles() const { return chkRememberFiles_; }
    QPushButton* clearRememberedButton() const { return clearRememberedButton_; }
    QLineEdit* photosLibraryField() const { return photosLibraryField_; }
    QLineEdit* musicMediaField() const { return musicMediaField_; }
    QPushButton* changePhotosButton() const { return changePhotosButton_; }
    QPushButton* changeMusicButton() const { return changeMusicButton_; }

private:
    // `box` with a grey explanation under it.
    QVBoxLayout* checkWithHint(QCheckBox* box, const QString& hint);
    QWidget* libraryRow(QLineEdit*& field, QPushButton*& button, const QString& tip);
    // Tells that `path` holds no library of the kind asked for; nothing is stored.
    void refuseLibraryFolder(const std::string& path, const QString& text, const QString& informative);

    QButtonGroup* matrixSearchMethod_ = nullptr;
    QButtonGroup* matrixRemoveDest_ = nullptr;
    QSlider* slideSimilarity_ = nullptr;
    QButtonGroup* matrixSimilarMethod_ = nullptr;
    QLabel* similarLevelDescription_ = nullptr;
    QCheckBox* chkVerifyFullContent_ = nullptr;
    QCheckBox* chkScanInBackground_ = nullptr;
    QCheckBox* chkRememberFiles_ = nullptr;
    QPushButton* clearRememberedButton_ = nullptr;
    QLineEdit* photosLibraryField_ = nullptr;
    QLineEdit* musicMediaField_ = nullptr;
    QPushButton* changePhotosButton_ = nullptr;
    QPushButton* changeMusicButton_ = nullptr;
    QList<QWidget*> libraryWidgets_;  // the two location rows with their labels
    bool loading_ = false;            // reloadData() is setting the controls
};
