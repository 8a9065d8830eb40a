#include "core/assertion.h"
#include "core/interpolation.h"
#include "core/vector2.h"

#include <QtTest>

#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct TChildResult
{
    bool aborted = false;
    std::string stderr_text;
};

// Runs body in a forked child and collects what it wrote to stderr and how it ended.
template <typename TBody> TChildResult Run_In_Child(TBody body)
{
    int fds[2];
    if (pipe(fds) != 0)
        qFatal("pipe failed");
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], STDERR_FILENO);
        body();
        _exit(0);
    }
    close(fds[1]);
    TChildResult result;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        result.stderr_text.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.aborted = WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT;
    return result;
}

} // namespace

class TTestAssertion : public QObject
{
    Q_OBJECT

private slots:
    void Failed_Assertion_Stops_With_Condition_File_And_Signature()
    {
        const TChildResult r = Run_In_Child([] {
            TVector2 v(1.0, 1.0);
            v /= 0.0;
        });
        QVERIFY(r.aborted);
        const QString text = QString::fromStdString(r.stderr_text);
        QVERIFY2(text.contains("\"d > std::numeric_limits<double>::epsilon()\""), qPrintable(text));
        QVERIFY2(text.contains(" core/vector2,"), qPrintable(text));
        QVERIFY2(text.contains("TVector2& TVector2::operator/=(const double&)"), qPrintable(text));
    }

    void Null_Output_Pointer_Names_The_Parameter()
    {
        const TChildResult r = Run_In_Child([] {
            Extrapolation::Get_Value({{0, 0}, {1, 1}}, 0.5, nullptr);
        });
        QVERIFY(r.aborted);
        const QString text = QString::fromStdString(r.stderr_text);
        QVERIFY2(text.contains("\"value\""), qPrintable(text));
        QVERIFY2(text.contains(" core/interpolation,"), qPrintable(text));
        QVERIFY2(text.contains("bool Extrapolation::Get_Value(const std::vector<TVector2>&, const "
                               "double&, double*)"),
                 qPrintable(text));
    }

    void Index_Out_Of_Range_Fails_False()
    {
        const TChildResult r = Run_In_Child([] {
            const TVector2 v;
            volatile double d = v(2);
            (void)d;
        });
        QVERIFY(r.aborted);
        QVERIFY(QString::fromStdString(r.stderr_text).contains("\"false\""));
    }

    void Passing_Check_Does_Nothing()
    {
        const TChildResult r = Run_In_Child([] { QUORVAL_ASSERT(1 + 1 == 2); });
        QVERIFY(!r.aborted);
        QVERIFY(r.stderr_text.empty());
    }
};

QTEST_APPLESS_MAIN(TTestAssertion)
#include "test_assertion.moc"
