#include "platform/RunTimeError.h"

namespace tarnwick {

RunTimeError MakeError(int32_t number) {
    switch (number) {
        case error::Overflow:
            return {number, u"溢出"};
        case error::OutOfMemory:
            return {number, u"内存不足"};
        case error::DeviceIo:
            return {number, u"设备 I/O 错误"};
        case error::DiskFull:
            return {number, u"磁盘已满"};
        case error::DeviceUnavailable:
            return {number, u"设备不可用"};
        case error::PermissionDenied:
            return {number, u"没有权限"};
        case error::DiskNotReady:
            return {number, u"磁盘未准备好"};
        case error::FileNotFound:
            return {number, u"文件未找到"};
        case error::InvalidPropertyValue:
            return {number, u"无效的属性值"};
        case error::PathFileAccess:
            return {number, u"路径/文件访问错误"};
        case error::PathNotFound:
            return {number, u"路径未找到"};
        default:
            return {number, u"应用程序定义的错误或对象定义的错误"};
    }
}

}  // namespace tarnwick
