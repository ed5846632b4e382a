#pragma once
// The guide shown after a removal that handed library items to their applications: it
// names the album or playlist they were gathered in and shows how to finish removing
// them there (a tag in Shotwell or digiKam, a playlist in Rhythmbox). Non-modal. Main
// thread only.

#include <QString>
#include <QWidget>

#include "TWCleanMediaLibraryGuide.h"

class QLabel;

class TWCleanMediaLibraryWndCtrl : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize kPictureAreaSize{540, 384};

    static TWCleanMediaLibraryWndCtrl* shareCleanMediaLibraryWndCtrl();
    static void resetShared();

    bool cleanPhotos() const { return guide_.cleanPhotos; }
    void setCleanPhotos(bool clean);
    bool cleanItunes() const { return guide_.cleanItunes; }
    void setCleanItunes(bool clean);
    QString groupNameInPhotos() const { return QString::fromStdString(guide_.groupNameInPhotos); }
    void setGroupNameInPhotos(const QString& name);
    QString albumNameInPhotos() const { return QString::fromStdString(guide_.albumNameInPhotos); }
    void setAlbumNameInPhotos(const QString& name);
    QString playlistNameInItunes() const { return QString::fromStdString(guide_.playlistNameInItunes); }
    void setPlaylistNameInItunes(const QString& name);
    // The applications that took the items, named in the guide text and pictures.
    void setLibraryNames(const std::string& photos, const std::string& music);

    // The guide text for the flags (follows every change of the values above).
    QString prompt() const;
    // Places the guide pictures for the current flags.
    void updateFace();

    QLabel* promptLabel() const { return promptLabel_; }
    QLabel* imgViewForPhotos() const { return imgViewForPhotos_; }
    QLabel* imgViewForiTunes() const { return imgViewForiTunes_; }
    // The frame of a picture in bottom-left-origin coordinates of the picture area.
    QRect pictureFrame(QLabel* picture) const;

private:
    TWCleanMediaLibraryWndCtrl();
    void promptChanged();
    // Draws the two pictures naming the applications that took the items.
    void drawPictures();

    TWCleanMediaLibraryGuide guide_;
    QLabel* promptLabel_ = nullptr;
    QWidget* pictureArea_ = nullptr;
    QLabel* imgViewForPhotos_ = nullptr;
    QLabel* imgViewForiTunes_ = nullptr;
};
