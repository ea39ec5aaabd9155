#include "preview/PageRenderer.h"

#include "pdf/PageImages.h"

#include <QHash>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <deque>

namespace quillary {

class PageRenderer::Worker : public QThread {
public:
    explicit Worker(PageRenderer* owner) : owner(owner) {}

    ~Worker() override
    {
        {
            QMutexLocker lock(&mutex);
            stopping = true;
            wake.wakeAll();
        }
        wait();
    }

    void addSource(int id, QByteArray bytes)
    {
        QMutexLocker lock(&mutex);
        commands.push_back({id, std::move(bytes), true});
        wake.wakeAll();
    }

    void removeSource(int id)
    {
        QMutexLocker lock(&mutex);
        commands.push_back({id, {}, false});
        std::erase_if(requests, [id](const RenderRequest& r) { return r.entry.source == id; });
        wake.wakeAll();
    }

    void replace(Requester requester, QList<RenderRequest> batch)
    {
        QMutexLocker lock(&mutex);
        std::erase_if(requests, [requester](const RenderRequest& r) { return r.requester == requester; });
        for (RenderRequest& r : batch)
            requests.push_back(std::move(r));
        wake.wakeAll();
    }

    int pending() const
    {
        QMutexLocker lock(&mutex);
        return int(requests.size() + commands.size()) + (busy ? 1 : 0);
    }

protected:
    void run() override
    {
        for (;;) {
            Command command;
            RenderRequest request;
            bool haveCommand = false;
            {
                QMutexLocker lock(&mutex);
                busy = false;
                while (!stopping && commands.empty() && requests.empty())
                    wake.wait(&mutex);
                if (stopping)
                    break;
                busy = true;
                // Sources first: a request is sent only for a loaded source,
                // and a removal must not wait behind renders.
                if (!commands.empty()) {
                    command = std::move(commands.front());
                    commands.pop_front();
                    haveCommand = true;
                } else {
                    auto best = requests.begin();
                    for (auto it = requests.begin(); it != requests.end(); ++it)
                        if (it->priority > best->priority)
                            best = it;
                    request = *best;
                    requests.erase(best);
                }
            }
            if (haveCommand)
                handle(std::move(command));
            else
                render(request);
        }
        // The documents were made on this thread and end on it.
        sources.clear();
    }

private:
    struct Command {
        int id = -1;
        QByteArray bytes;
        bool add = false;
    };

    void handle(Command command)
    {
        if (!command.add) {
            sources.remove(command.id);
            return;
        }
        auto source = PageImageSource::fromBytes(std::move(command.bytes));
        if (!source || source->pageCount() <= 0) {
            emit owner->sourceFailed(command.id);
            return;
        }
        sources.insert(command.id, source);
        emit owner->sourceLoaded(command.id, source->pageCount(), source->pageSize(0));
    }

    void render(const RenderRequest& request)
    {
        const auto it = sources.constFind(request.entry.source);
        if (it == sources.constEnd())
            return; // removed since: nobody shows it any more
        QImage image = (*it)->render(request.entry.page, request.pixels);
        if (!image.isNull())
            image.setDevicePixelRatio(request.devicePixelRatio);
        emit owner->rendered(request, image);
    }

    PageRenderer* owner;
    mutable QMutex mutex;
    QWaitCondition wake;
    std::deque<Command> commands;
    std::deque<RenderRequest> requests;
    bool stopping = false;
    bool busy = false;
    // Only touched on the worker thread.
    QHash<int, std::shared_ptr<PageImageSource>> sources;
};

PageRenderer::PageRenderer(QObject* parent)
    : QObject(parent)
    , worker(std::make_unique<Worker>(this))
{
    qRegisterMetaType<RenderRequest>();
    worker->setObjectName(QStringLiteral("page renderer"));
    worker->start(QThread::LowPriority);
}

PageRenderer::~PageRenderer() = default;

void PageRenderer::addSource(int id, QByteArray bytes)
{
    worker->addSource(id, std::move(bytes));
}

void PageRenderer::removeSource(int id)
{
    worker->removeSource(id);
}

void PageRenderer::request(Requester requester, QList<RenderRequest> batch)
{
    worker->replace(requester, std::move(batch));
}

int PageRenderer::pendingCount() const
{
    return worker->pending();
}

} // namespace quillary
