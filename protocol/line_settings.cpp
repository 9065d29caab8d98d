#include "protocol/line_settings.h"

namespace kvt {

void ApplyConverterLineSettings(TComPort& Port)
{
    Port.SetBaudRate(br4800);
    Port.SetDataBits(db8);
    Port.SetParity(paNone);
    Port.SetStopBits(sb1);
    Port.FlowControl().SetDTR(dcDisable);
    Port.FlowControl().SetRTS(rcEnable);
    Port.SetOptions(TOptions{});
    Port.Timeouts().SetReadMultiplier(100);
    Port.Timeouts().SetReadConstant(100);
    Port.Timeouts().SetWriteMultiplier(100);
    Port.Timeouts().SetWriteConstant(100);
}

} // namespace kvt
