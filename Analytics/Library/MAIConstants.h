#pragma once

// String constants shared by the parts of the tracker.

inline constexpr const char* kMAIProduct = "AppAnalytics";
inline constexpr const char* kMAIVersion = "2.0b4";
inline constexpr const char* kDatastoreFilename = "appanalytics-v2.sql";
inline constexpr const char* kMAIErrorDomain = "tv.catalogue.analytics.error";

// Model keys of the hit parameter table.
inline constexpr const char* kMAIHitFormatVersion = "apiVersion";
inline constexpr const char* kMAIHitFormatTrackingId = "trackingId";
inline constexpr const char* kMAIHitFormatClientId = "clientId";
inline constexpr const char* kMAIHitFormatClientVersion = "clientVersion";
inline constexpr const char* kMAIHitFormatReserved = "reserved";
inline constexpr const char* kMAIHitFormatX10Data = "x10data";
inline constexpr const char* kMAIHitFormatQueueTime = "queueTime";
inline constexpr const char* kMAIHitFormatCacheBuster = "cacheBuster";
inline constexpr const char* kMAIHitFormatHitTime = "hitTime";
inline constexpr const char* kMAIHitFormatAnonymizeIp = "anonymizeIp";
inline constexpr const char* kMAIHitFormatSessionControl = "sessionControl";
inline constexpr const char* kMAIHitFormatSampleRate = "sampleRate";
inline constexpr const char* kMAIHitFormatEncoding = "encoding";
inline constexpr const char* kMAIHitFormatLanguage = "language";
inline constexpr const char* kMAIHitFormatScreenResolution = "screenResolution";
inline constexpr const char* kMAIHitFormatScreenColors = "screenColors";
inline constexpr const char* kMAIHitFormatHitType = "hitType";
inline constexpr const char* kMAIHitFormatScreen = "description";
inline constexpr const char* kMAIHitFormatReferrer = "referrer";
inline constexpr const char* kMAIHitFormatAdTextAdNetHitId = "adTextAdNetHitId";
inline constexpr const char* kMAIHitFormatNonInteraction = "nonInteraction";
inline constexpr const char* kMAIHitFormatAppName = "appName";
inline constexpr const char* kMAIHitFormatAppVersion = "appVersion";
inline constexpr const char* kMAIHitFormatAppId = "appId";
inline constexpr const char* kMAIHitFormatAppInstallerId = "appInstallerId";
inline constexpr const char* kMAIHitFormatEventCategory = "eventCategory";
inline constexpr const char* kMAIHitFormatEventAction = "eventAction";
inline constexpr const char* kMAIHitFormatEventLabel = "eventLabel";
inline constexpr const char* kMAIHitFormatEventValue = "eventValue";
inline constexpr const char* kMAIHitFormatSocialAction = "socialAction";
inline constexpr const char* kMAIHitFormatSocialNetwork = "socialNetwork";
inline constexpr const char* kMAIHitFormatSocialTarget = "socialTarget";
inline constexpr const char* kMAIHitFormatCampaignSource = "campaignSource";
inline constexpr const char* kMAIHitFormatCampaignMedium = "campaignMedium";
inline constexpr const char* kMAIHitFormatCampaignName = "campaignName";
inline constexpr const char* kMAIHitFormatCampaignKeyword = "campaignKeyword";
inline constexpr const char* kMAIHitFormatCampaignContent = "campaignContent";
inline constexpr const char* kMAIHitFormatCampaignId = "campaignId";
inline constexpr const char* kMAIHitFormatGclid = "gclid";
inline constexpr const char* kMAIHitFormatDclid = "dclid";
inline constexpr const char* kMAIHitFormatGmob_t = "gmob_t";
inline constexpr const char* kMAIHitFormatTransactionId = "transactionId";
inline constexpr const char* kMAIHitFormatTransactionAffiliation = "transactionAffiliation";
inline constexpr const char* kMAIHitFormatTransactionRevenue = "transactionRevenue";
inline constexpr const char* kMAIHitFormatTransactionShipping = "transactionShipping";
inline constexpr const char* kMAIHitFormatTransactionTax = "transactionTax";
inline constexpr const char* kMAIHitFormatTransactionCurrencyCode = "transactionCurrencyCode";
inline constexpr const char* kMAIHitFormatItemName = "itemName";
inline constexpr const char* kMAIHitFormatItemCode = "itemCode";
inline constexpr const char* kMAIHitFormatItemPrice = "itemPrice";
inline constexpr const char* kMAIHitFormatItemQuantity = "itemQuantity";
inline constexpr const char* kMAIHitFormatItemCategory = "itemCategory";
inline constexpr const char* kMAIHitFormatExceptionDescription = "exDescription";
inline constexpr const char* kMAIHitFormatExceptionFatal = "exFatal";
inline constexpr const char* kMAIHitFormatTimingVariable = "timingVar";
inline constexpr const char* kMAIHitFormatTimingCategory = "timingCategory";
inline constexpr const char* kMAIHitFormatTimingLabel = "timingLabel";
inline constexpr const char* kMAIHitFormatTimingValue = "timingValue";

inline constexpr const char* kMAIHitFormatVersionString = "1";
inline constexpr const char* kMAIHitFormatClientVersionString = "mi1b4";
inline constexpr const char* kMAIHitFormatContentType = "application/x-www-form-urlencoded";
inline constexpr const char* kMAIHitFormatUTF8CharSet = "UTF-8";
inline constexpr const char* kMAIHitFormatSessionStart = "start";

// Hit types: values of "t".
inline constexpr const char* kMAIHitFormatViewHitType = "appview";
inline constexpr const char* kMAIHitFormatEventHitType = "event";
inline constexpr const char* kMAIHitFormatSocialHitType = "social";
inline constexpr const char* kMAIHitFormatTransactionHitType = "tran";
inline constexpr const char* kMAIHitFormatItemHitType = "item";
inline constexpr const char* kMAIHitFormatExceptionHitType = "exception";
inline constexpr const char* kMAIHitFormatTimingHitType = "timing";

// Query names of a campaign URL.
inline constexpr const char* kMAICampaignSource = "utm_source";
inline constexpr const char* kMAICampaignMedium = "utm_medium";
inline constexpr const char* kMAICampaignName = "utm_campaign";
inline constexpr const char* kMAICampaignTerm = "utm_term";
inline constexpr const char* kMAICampaignContent = "utm_content";
inline constexpr const char* kMAICampaignSearchClickId = "gclid";
inline constexpr const char* kMAICampaignDisplayClickId = "dclid";
inline constexpr const char* kMAICampaignAdnetTicketId = "gmob_t";

// A key given directly as a URL parameter.
inline constexpr const char* kPassthruPrefix = "&";

// Store records and their fields.
inline constexpr const char* kTimestampField = "timestamp";
inline constexpr const char* kPropertyNameField = "name";
inline constexpr const char* kClientIdPropertyName = "ClientId";
inline constexpr const char* kOptOutPropertyName = "OptOut";
