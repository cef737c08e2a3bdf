#pragma once

#include <QString>

// A number of shares in English words, as a certificate writes it beside the figures: "Five thousand", "Twenty-one",
// "One million two hundred and thirty-four thousand five hundred and sixty-seven". Empty below zero.
QString inWords(qint64 number);
