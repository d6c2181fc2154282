#include "QuilmPrint/model/PrintModelState.h"

namespace QuilmPrint {

const std::vector<PhotoItem>& PrintModel::photos() const { return d->photos; }
void PrintModel::addPhotos(const std::vector<std::filesystem::path>&) {}
bool PrintModel::isLoadingPhotos() const { return false; }
void PrintModel::removePhoto(const PhotoItem&) {}
void PrintModel::removeAllPhotos() {}
std::optional<QUuid> PrintModel::selectedPhotoID() const { return d->selectedPhotoID; }
void PrintModel::setSelectedPhotoID(const std::optional<QUuid>&) {}
const PhotoItem* PrintModel::selectedPhoto() const { return nullptr; }
const QHash<QUuid, PrintKit::Size>& PrintModel::offsets() const { return d->offsets; }
void PrintModel::setOffset(PrintKit::Size, const PhotoItem&) {}
void PrintModel::centerPhoto(const PhotoItem&) {}
void PrintModel::resizeExact(const PrintKit::Rect&, const PrintKit::Rect&, const PhotoItem&) {}

QImage PrintModel::previewImage() const { return d->previewImage; }
std::optional<QUuid> PrintModel::previewPhotoID() const { return d->previewPhotoID; }
void PrintModel::requestPreviewDetail(int) {}

} // namespace QuilmPrint
