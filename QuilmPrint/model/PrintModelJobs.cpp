#include "QuilmPrint/model/PrintModelState.h"

namespace QuilmPrint {

const std::vector<PrintJobItem>& PrintModel::jobs() const { return d->jobs; }
void PrintModel::printAll() {}
void PrintModel::printPhotos() {}
void PrintModel::printGridPages() {}
void PrintModel::printOnly(const PhotoItem&) {}
void PrintModel::cancel(const QUuid&) {}
int PrintModel::unsentSheets() const { return 0; }
void PrintModel::exportPDFs(const std::filesystem::path&) {}

const std::optional<Notice>& PrintModel::notice() const { return d->notice; }
void PrintModel::showNotice(const Notice& notice) {
    d->notice = notice;
    emit noticeChanged();
}
void PrintModel::clearNotice() {
    d->notice.reset();
    emit noticeChanged();
}

} // namespace QuilmPrint
