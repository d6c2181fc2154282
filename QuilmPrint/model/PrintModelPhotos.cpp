#include "PrintKit/render/decode/SheetRenderError.h"
#include "PrintKit/support/ParallelLoop.h"
#include "QuilmPrint/model/ModelTasks.h"
#include "QuilmPrint/model/PhotoLoader.h"
#include "QuilmPrint/model/PrintModelState.h"

#include <algorithm>

namespace QuilmPrint {

namespace {

// Photos read side by side and handed over together: few enough that the main thread appends them in a
// moment, enough that the list fills steadily.
constexpr int photosPerDelivery = 16;
// The smallest preview decoded, and how much larger a request must be before decoding again.
constexpr int previewFloor = 2800;
constexpr int previewStep = 200;
// Unreadable files named in the notice; the rest are counted.
constexpr std::size_t namedUnreadable = 3;

// Photos decoded at once: one processor fewer than there are, so the main thread always finds one free
// and the windows stay responsive while a large folder loads.
int loaders() {
    return std::max(PrintKit::ParallelLoop::activeProcessorCount() - 1, 1);
}

struct Delivery {
    std::vector<PhotoItem> photos;
    bool last = false;
    std::vector<std::filesystem::path> unreadable; // in the last delivery only
};

QString unreadableNotice(const std::vector<std::filesystem::path>& files) {
    std::string names;
    for (std::size_t i = 0; i < files.size() && i < namedUnreadable; ++i) {
        names += (i ? ", " : "") + files[i].filename().string();
    }
    if (files.size() > namedUnreadable) {
        names += " 외 " + std::to_string(files.size() - namedUnreadable) + "장";
    }
    return QString::fromUtf8(
        PrintKit::SheetRenderError(PrintKit::SheetRenderErrorCode::unreadableImage, names).what());
}

} // namespace

const std::vector<PhotoItem>& PrintModel::photos() const {
    return d->photos;
}

bool PrintModel::isLoadingPhotos() const {
    return d->photoLoadsRunning > 0;
}

void PrintModel::addPhotos(const std::vector<std::filesystem::path>& urls) {
    if (urls.empty()) {
        return;
    }
    if (!d->photoLoadCancel) {
        d->photoLoadCancel = std::make_shared<std::atomic<bool>>(false);
    }
    const std::uint64_t generation = d->photosGeneration;
    const std::shared_ptr<std::atomic<bool>> cancel = d->photoLoadCancel;
    ++d->photoLoadsRunning;
    emit photosChanged();

    QPointer<PrintModel> guard(this);
    d->photoLoader->start([guard, urls, generation, cancel]() {
        auto done = [generation](PrintModel& model, Delivery delivery) {
            model.d->photosLoaded(generation, std::move(delivery.photos), delivery.last, delivery.unreadable);
        };
        const std::vector<std::filesystem::path> files = PhotoLoader::find(urls, cancel.get());
        std::vector<std::filesystem::path> unreadable;
        for (std::size_t start = 0; start < files.size() && !cancel->load(); start += photosPerDelivery) {
            const int count =
                static_cast<int>(std::min<std::size_t>(photosPerDelivery, files.size() - start));
            std::vector<std::optional<PhotoLoader::Loaded>> loaded(static_cast<std::size_t>(count));
            const int jobs = std::min(count, loaders());
            PrintKit::ParallelLoop::runJobs(jobs, [&](int job) {
                for (int i = job; i < count; i += jobs) {
                    try {
                        loaded[static_cast<std::size_t>(i)] =
                            PhotoLoader::load(files[start + static_cast<std::size_t>(i)]);
                    } catch (const std::exception&) {
                        // Named in the notice at the end; the other photos still load.
                    }
                }
            });
            Delivery delivery;
            for (int i = 0; i < count; ++i) {
                auto& photo = loaded[static_cast<std::size_t>(i)];
                if (!photo) {
                    unreadable.push_back(files[start + static_cast<std::size_t>(i)]);
                    continue;
                }
                delivery.photos.push_back({QUuid::createUuid(), photo->url, photo->pixelWidth,
                                           photo->pixelHeight, photo->thumbnail});
            }
            if (!delivery.photos.empty()) {
                deliver(guard, std::move(delivery), done);
            }
        }
        deliver(guard, Delivery{{}, true, std::move(unreadable)}, done);
    });
}

void PrintModel::State::photosLoaded(std::uint64_t generation, std::vector<PhotoItem> loaded, bool last,
                                     const std::vector<std::filesystem::path>& unreadable) {
    if (generation != photosGeneration) {
        return;
    }
    const bool wasEmpty = photos.empty();
    photos.insert(photos.end(), std::make_move_iterator(loaded.begin()),
                  std::make_move_iterator(loaded.end()));
    if (last) {
        photoLoadsRunning = std::max(photoLoadsRunning - 1, 0);
    }
    emit self->photosChanged();
    if (!last && !selectedPhotoID && wasEmpty && !photos.empty()) {
        // Something to look at as soon as the first photos arrive.
        self->setSelectedPhotoID(photos.front().id);
    }
    if (!unreadable.empty()) {
        self->showNotice(Notice{unreadableNotice(unreadable), false, std::nullopt});
    }
    self->syncGridPage();
}

void PrintModel::removePhoto(const PhotoItem& photo) {
    auto found = std::find_if(d->photos.begin(), d->photos.end(),
                              [&](const PhotoItem& candidate) { return candidate.id == photo.id; });
    if (found == d->photos.end()) {
        return;
    }
    d->photos.erase(found);
    d->offsets.remove(photo.id);
    if (d->selectedPhotoID == photo.id) {
        d->selectedPhotoID.reset();
        d->forgetPreview();
    }
    emit photosChanged();
    emit layoutChanged();
    syncGridPage();
}

void PrintModel::removeAllPhotos() {
    // Loads still under way belong to the list that was emptied: they are stopped and their photos dropped.
    ++d->photosGeneration;
    if (d->photoLoadCancel) {
        *d->photoLoadCancel = true;
        d->photoLoadCancel.reset();
    }
    d->photoLoadsRunning = 0;
    d->photos.clear();
    d->offsets.clear();
    d->selectedPhotoID.reset();
    d->forgetPreview();
    emit photosChanged();
    emit layoutChanged();
    syncGridPage();
}

std::optional<QUuid> PrintModel::selectedPhotoID() const {
    return d->selectedPhotoID;
}

void PrintModel::setSelectedPhotoID(const std::optional<QUuid>& id) {
    if (id == d->selectedPhotoID) {
        return;
    }
    if (id && std::none_of(d->photos.begin(), d->photos.end(),
                           [&](const PhotoItem& photo) { return photo.id == *id; })) {
        return;
    }
    d->selectedPhotoID = id;
    d->forgetPreview();
    if (const PhotoItem* photo = selectedPhoto()) {
        const int longer = std::max(photo->pixelWidth, photo->pixelHeight);
        d->loadPreview(std::min(std::max(d->previewWanted, previewFloor), longer));
    }
    emit photosChanged();
    syncGridPage();
}

const PhotoItem* PrintModel::selectedPhoto() const {
    if (!d->selectedPhotoID) {
        return nullptr;
    }
    for (const PhotoItem& photo : d->photos) {
        if (photo.id == *d->selectedPhotoID) {
            return &photo;
        }
    }
    return nullptr;
}

const QHash<QUuid, PrintKit::Size>& PrintModel::offsets() const {
    return d->offsets;
}

void PrintModel::setOffset(PrintKit::Size offset, const PhotoItem& photo) {
    d->offsets.insert(photo.id, offset);
    emit layoutChanged();
}

void PrintModel::centerPhoto(const PhotoItem& photo) {
    if (d->offsets.remove(photo.id) > 0) {
        emit layoutChanged();
    }
}

void PrintModel::resizeExact(const PrintKit::Rect& rect, const PrintKit::Rect& area, const PhotoItem& photo) {
    d->layoutMode = LayoutMode::exact;
    d->exactTurnsToPhoto = false;
    setExactSize(rect.width() * 25.4 / 72.0, rect.height() * 25.4 / 72.0);
    d->offsets.insert(photo.id, PrintKit::Size{rect.midX() - area.midX(), rect.midY() - area.midY()});
    emit layoutChanged();
}

// ---- Preview ----

QImage PrintModel::previewImage() const {
    // Pixels of one photo are never shown for another.
    if (!d->previewPhotoID || d->previewPhotoID != d->selectedPhotoID) {
        return {};
    }
    return d->previewImage;
}

std::optional<QUuid> PrintModel::previewPhotoID() const {
    return d->previewPhotoID;
}

void PrintModel::State::forgetPreview() {
    ++previewGeneration;
    previewPixels = 0;
    const bool had = !previewImage.isNull() || previewPhotoID;
    previewImage = {};
    previewPhotoID.reset();
    if (had) {
        emit self->previewChanged();
    }
}

void PrintModel::State::loadPreview(int pixels) {
    const PhotoItem* photo = self->selectedPhoto();
    if (!photo || pixels <= 0) {
        return;
    }
    previewPixels = pixels;
    const std::uint64_t generation = ++previewGeneration;
    const QUuid id = photo->id;
    const std::filesystem::path url = photo->url;
    runInBackground(
        self,
        [url, pixels]() {
            try {
                return PhotoLoader::uprightSRGB(url, pixels);
            } catch (const std::exception&) {
                return QImage(); // the view keeps the thumbnail
            }
        },
        [generation, id](PrintModel& model, QImage image) {
            State& d = *model.d;
            if (generation != d.previewGeneration || d.selectedPhotoID != id || image.isNull()) {
                return;
            }
            d.previewImage = std::move(image);
            d.previewPhotoID = id;
            emit model.previewChanged();
        });
}

void PrintModel::requestPreviewDetail(int pixels) {
    d->previewWanted = pixels;
    const PhotoItem* photo = selectedPhoto();
    if (!photo) {
        return;
    }
    const int wanted =
        std::min(std::max(pixels, previewFloor), std::max(photo->pixelWidth, photo->pixelHeight));
    if (wanted > d->previewPixels + previewStep) {
        d->loadPreview(wanted);
    }
}

} // namespace QuilmPrint
