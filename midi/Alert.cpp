#include "Alert.h"

#include <cstdio>
#include <utility>

namespace {

AlertPresenter& Presenter()
{
    static AlertPresenter presenter;
    return presenter;
}

}  // namespace

void SetAlertPresenter(AlertPresenter presenter)
{
    Presenter() = std::move(presenter);
}

void RunAlertPanel(const char* message)
{
    if (Presenter())
        Presenter()(message);
    else
        std::fprintf(stderr, "%s\n", message);
}
