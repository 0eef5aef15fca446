#include "Workflow.h"

ReviewRow makeRow(int index, const QString& state)
{
    return ReviewRow{{QStringLiteral("page"), index + 1},
                     {QStringLiteral("number"), QString()},
                     {QStringLiteral("title"), QString()},
                     {QStringLiteral("state"), state}};
}

TaskError::TaskError(QString domain, int code, QString message)
    : m_domain(std::move(domain)), m_code(code), m_message(std::move(message)), m_utf8(m_message.toUtf8())
{
}

FileSystemError::FileSystemError(std::error_code ec)
    : TaskError(QStringLiteral("FileSystem"), ec.value(), QString::fromStdString(ec.message())), m_ec(ec)
{
}

void WorkCancellation::cancel()
{
    std::lock_guard guard(lock);
    value = true;
}

bool WorkCancellation::isCancelled() const
{
    std::lock_guard guard(lock);
    return value;
}

void WorkCancellation::check() const
{
    if (isCancelled())
        throw CancellationError();
}

PlanfolioError DrawingWorkflow::failure(const QString& message)
{
    return PlanfolioError(1, message);
}
