# Message encoding beside the BER codec; paths relative to encoding/.
set(ZUVA_ENCODING_MESSAGE_SOURCES
  Amount.cpp
  CardBrandIdentifierUtility.cpp
  ECTCurrency.cpp
  ECTCurrencyManager.cpp
  ECTDataHexa.cpp
  ECTDataZUVADigital.cpp
  ECTMessageLength.cpp
  ECTMessageSequenceNumber.cpp
  LogHelpers.cpp
  StringUtils.cpp
  ZUVABody.cpp
  ZUVAHeader.cpp
  ZUVAUtils.cpp)
