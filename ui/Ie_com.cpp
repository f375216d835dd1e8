#include "ui/Ie_com.h"

namespace tevrano::ui {

namespace {
template <int N>
Binding Array(int32_t (&a)[N]) {
  return Binding{a, N};
}
Binding Scalar(int32_t& v) {
  return Binding{&v, 1};
}
}  // namespace

BindingTable::BindingTable(UiVariables& v)
    : entries_{
          // Pages and views.
          {"IE_Page#ADN", Array(v.IE_Page)},
          {"IE_Page2#SD", Scalar(v.IE_Page2)},
          {"IE_Page3#SD", Scalar(v.IE_Page3)},
          {"IE_M_CH#SD", Scalar(v.IE_M_CH)},
          {"IE_DOING#SD", Scalar(v.IE_DOING)},
          {"IE_CH#ADN", Array(v.IE_CH)},
          {"IE_CH2#ADN", Array(v.IE_CH2)},
          {"IE_CH#SD", Scalar(v.IE_CH_S)},
          {"IE_CH2#SD", Scalar(v.IE_CH2_S)},
          {"IE_Logo#SD", Scalar(v.IE_Logo)},
          {"IE_PB_PS#SD", Scalar(v.IE_PB_PS)},
          {"IE_PB_PS2#SD", Scalar(v.IE_PB_PS2)},
          {"IE_PB_BT_En#ADN", Array(v.IE_PB_BT_En)},
          {"IE_SET_T#SD", Scalar(v.IE_SET_T)},
          {"IE_Month_T#SD", Scalar(v.IE_Month_T)},
          {"IE_OK#SD", Scalar(v.IE_OK)},
          {"IE_CL#SD", Scalar(v.IE_CL)},
          {"IE_ST#SD", Scalar(v.IE_ST)},
          {"IE_ST2#SD", Scalar(v.IE_ST2)},
          {"IE_percentage#SD", Scalar(v.IE_percentage)},
          {"IE_Data#ADN", Array(v.IE_Data)},
          {"IE_ST3#SD", Scalar(v.IE_ST3)},
          // Calendar.
          {"Mon_P_N_T#SD", Scalar(v.Mon_P_N_T)},
          {"Mon_B_F_T#SD", Scalar(v.Mon_B_F_T)},
          {"Mon_B_T_T#SD", Scalar(v.Mon_B_T_T)},
          {"Mon_Day#AD", Array(v.Mon_Day)},
          {"Mon_Data#AD", Array(v.Mon_Data)},
          {"Mon_Y#SD", Scalar(v.Mon_Y)},
          {"Mon_M#SD", Scalar(v.Mon_M)},
          {"Mon_h#SD", Scalar(v.Mon_h)},
          {"Mon_m2#SD", Scalar(v.Mon_m2)},
          {"Mon_s#SD", Scalar(v.Mon_s)},
          {"Mon_Time#SD", Scalar(v.Mon_Time)},
          {"Mon_Add#SD", Scalar(v.Mon_Add)},
          {"Mon_Sub#SD", Scalar(v.Mon_Sub)},
          {"Mon_HHMMSS#SD", Scalar(v.Mon_HHMMSS)},
          {"Mon_POS#AD", Array(v.Mon_POS)},
          {"Mon_HMS_C#SD", Scalar(v.Mon_HMS_C)},
          {"Day_change#SD", Scalar(v.Day_change)},
          {"Mon_Cmd#SD", Scalar(v.Mon_Cmd)},
          {"Motion_C#SD", Scalar(v.Motion_C)},
          {"Schedule_C#SD", Scalar(v.Schedule_C)},
          // Speed dome.
          {"Dm_Cmd#SD", Scalar(v.Dm_Cmd)},
          {"Dm_Pre#SD", Scalar(v.Dm_Pre)},
          {"Dm_Ch#SD", Scalar(v.Dm_Ch)},
          {"Dm_SCh#AD", Array(v.Dm_SCh)},
          {"Dm_SPre#ADN", Array(v.Dm_SPre)},
          {"Dm_SPre#AD", Array(v.Dm_SPre)},
          {"MOD#SDZ", Scalar(v.MOD)},
          {"MOD#SD", Scalar(v.MOD)},
          {"MOD2#SD", Scalar(v.MOD2)},
          {"MOD3#SD", Scalar(v.MOD3)},
          {"MOD4#SD", Scalar(v.MOD4)},
          {"Cent_X#SDX", Scalar(v.Cent_X)},
          {"Cent_Y#SDY", Scalar(v.Cent_Y)},
          {"A_Pan#SD", Scalar(v.A_Pan)},
          {"A_See#SD", Scalar(v.A_See)},
          {"SD_Mouse#SD", Scalar(v.SD_Mouse)},
          {"SD_Bar#SD", Scalar(v.SD_Bar)},
          {"SD_IO1#SDC", Scalar(v.SD_IO[0])},
          {"SD_IO2#SDC", Scalar(v.SD_IO[1])},
          {"SD_IO3#SDC", Scalar(v.SD_IO[2])},
          {"SD_IO4#SDC", Scalar(v.SD_IO[3])},
          {"SD_IO5#SDC", Scalar(v.SD_IO[4])},
          {"A_Num#SD", Scalar(v.A_Num)},
          // Alarms and channels.
          {"Alarm_En#ADN", Array(v.Alarm_En)},
          {"Alarm_En_Pos#SD", Scalar(v.Alarm_En_Pos)},
          {"AlmO_En#AD", Array(v.AlmO_En)},
          {"CH#ADN", Array(v.CH)},
          {"CH_Idx#SD", Scalar(v.CH_Idx)},
          {"Record#ADN", Array(v.Record)},
          {"Sys_State#SDC", Scalar(v.Sys_State)},
          // Keys and their availability.
          {"Key_Split#SD", Scalar(v.Keys[UiVariables::kSplit])},
          {"Key_Seq#SD", Scalar(v.Keys[UiVariables::kSeq])},
          {"Key_FW#SD", Scalar(v.Keys[UiVariables::kFW])},
          {"Key_PB#SD", Scalar(v.Keys[UiVariables::kPB])},
          {"Key_FF#SD", Scalar(v.Keys[UiVariables::kFF])},
          {"Key_List#SD", Scalar(v.Keys[UiVariables::kList])},
          {"Key_Delete#SD", Scalar(v.Keys[UiVariables::kDelete])},
          {"Key_OSD#SD", Scalar(v.Keys[UiVariables::kOSD])},
          {"Key_SPreset#SD", Scalar(v.Keys[UiVariables::kSPreset])},
          {"Key_GPreset#SD", Scalar(v.Keys[UiVariables::kGPreset])},
          {"Key_Help#SD", Scalar(v.Keys[UiVariables::kHelp])},
          {"Key_Freeze#SD", Scalar(v.Keys[UiVariables::kFreeze])},
          {"Key_Capture#SD", Scalar(v.Keys[UiVariables::kCapture])},
          {"Key_F5#SD", Scalar(v.Keys[UiVariables::kF5])},
          {"SPD_Mode#SD", Scalar(v.Keys[UiVariables::kSPD_Mode])},
          {"IO_Split#SDC", Scalar(v.IO[UiVariables::kIoSplit])},
          {"IO_Seq#SDC", Scalar(v.IO[UiVariables::kIoSeq])},
          {"IO_Menu#SDC", Scalar(v.IO[UiVariables::kIoMenu])},
          {"IO_FW#SDC", Scalar(v.IO[UiVariables::kIoFW])},
          {"IO_PB#SDC", Scalar(v.IO[UiVariables::kIoPB])},
          {"IO_FF#SDC", Scalar(v.IO[UiVariables::kIoFF])},
          {"IO_List#SDC", Scalar(v.IO[UiVariables::kIoList])},
          {"IO_Delete#SDC", Scalar(v.IO[UiVariables::kIoDelete])},
          {"IO_OSD#SDC", Scalar(v.IO[UiVariables::kIoOSD])},
          {"IO_SPreset#SDC", Scalar(v.IO[UiVariables::kIoSPreset])},
          {"IO_GPreset#SDC", Scalar(v.IO[UiVariables::kIoGPreset])},
          {"IO_Help#SDC", Scalar(v.IO[UiVariables::kIoHelp])},
          {"IO_Freeze#SDC", Scalar(v.IO[UiVariables::kIoFreeze])},
          {"IO_Capture#SDC", Scalar(v.IO[UiVariables::kIoCapture])},
          {"IO_F5#SDC", Scalar(v.IO[UiVariables::kIoF5])},
          {"IO_SPD_Mode#SDC", Scalar(v.IO[UiVariables::kIoSPD_Mode])},
          {"Key_Tag#SD", Scalar(v.Key_Tag)},
          {"Key_Code#SD", Scalar(v.Key_Code)},
      },
      spare_{Array(v.spare)} {}

Binding BindingTable::Skin_Lookup(std::string_view name) const {
  for (const Entry& e : entries_)
    if (name == e.name) return e.binding;
  return spare_;
}

}  // namespace tevrano::ui
