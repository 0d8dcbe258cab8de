// Shared by the host and plug-in suites: a headless application with a fresh scene per test.
#pragma once

#include <QString>
#include <gtest/gtest.h>
#include <memory>

#include "kvapp.h"
#include "kvdialogs.h"
#include "kvscene.h"

class KvHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        scene = std::make_unique<KvScene>();
        app = std::make_unique<KvApp>();
        KvDialogSeam::clear();
        KvDialogSeam::setEnabled(true);
    }
    void TearDown() override {
        KvDialogSeam::clear();
        app.reset();
        scene.reset();
    }
    std::unique_ptr<KvScene> scene;
    std::unique_ptr<KvApp> app;
};
