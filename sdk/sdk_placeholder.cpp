namespace tolv_sdk_placeholder {}
