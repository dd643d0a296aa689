#pragma once

namespace zurm {

// НазвРасч.ТипСети.
enum NetworkType : int {
    kOnePipe = 0,
    kTwoPipe = 1,
};

// Network status codes kept in НазвРасч.ПарТСКорр.
enum NetworkStatus : int {
    kNetworkCorrect = 0,
    kNetworkEmpty = 1,        // Табл has no rows; the caller words the message
    kNetworkHeadAtStart = 2,  // set only by applyHeadChangeRule
    kNetworkError = 3,        // the message holds the first error
};

} // namespace zurm
